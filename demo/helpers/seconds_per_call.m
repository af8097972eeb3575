function [seconds, calls] = seconds_per_call (call, min_total)
  % Mean wall time of one call of CALL (a function handle), over as many
  % calls as fit in MIN_TOTAL seconds (at least 3), after one warm-up call.
  if (nargin < 2)
    min_total = 0.2;
  endif
  call ();
  calls = 0;
  start = tic ();
  do
    call ();
    calls += 1;
    elapsed = toc (start);
  until (elapsed >= min_total && calls >= 3)
  seconds = elapsed / calls;
endfunction
