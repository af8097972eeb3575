% Makes the calls record_cases.m recorded with the modules in MEX_DIR and
% writes what each did to RESULTS.bin (encode_value.m describes it). Each
% case runs twice, and is marked unrepeatable when the two differ (seeds
% from the clock, the times in progress lines), or when linsvm_fit drew
% from a seed of the clock (see clock_seeded).
% Usage: [LD_PRELOAD=.../librefusing_allocator.so OPENBLAS_NUM_THREADS=1] \
%        octave-cli --no-history --no-gui --quiet replay_cases.m MEX_DIR CASES.mat RESULTS.bin
% The cases recorded with memory refused (REFUSE_MODULE_MEMORY) need the
% refusing allocator preloaded: without it they are left out, and counted.
% Their module is loaded anew for each of their calls, as the test of
% refused memory loads it: luma_u8 and linsvm_fit allocate only when they
% choose their kernels, at their first call.
1;

function bytes = section (data)
  bytes = [typecast(uint64(numel (data)), "uint8"), uint8(data)];
end

function set_refusal (mode)
  if (isempty (mode))
    unsetenv ("REFUSE_MODULE_MEMORY");
  else
    setenv ("REFUSE_MODULE_MEMORY", mode);
  end
end

% One call as its record's four sections: outcome, printed text, last
% warning's identifier, outputs.
function [record, ok] = call_case (c)
  if (! isempty (c.refuse))
    clear (c.name);
  end
  set_refusal (c.refuse);
  lastwarn ("", "");
  caught = [];
  unwind_protect
    % Inside evalc, so that what a failing call printed is kept too.
    if (c.nargout == 0)
      clear ans
      printed = evalc ("try, feval (c.name, c.args{:}); catch caught, end");
      outputs = {};
      if (exist ("ans", "var"))
        outputs = {ans};
      end
    else
      outputs = cell (1, c.nargout);
      printed = evalc ("try, [outputs{:}] = feval (c.name, c.args{:}); catch caught, end");
    end
  unwind_protect_cleanup
    unsetenv ("REFUSE_MODULE_MEMORY");
  end_unwind_protect
  [~, warning_id] = lastwarn ();
  ok = isempty (caught);
  if (ok)
    outcome = "ok";
    encoded = cellfun (@(value) encode_value (value, true), outputs, "uniformoutput", false);
    output_bytes = [typecast(uint32(numel (outputs)), "uint8"), encoded{:}];
  else
    outcome = sprintf ("error %s\n%s", caught.identifier, caught.message);
    output_bytes = typecast (uint32 (0), "uint8");
  end
  record = [section(outcome), section(printed), section(warning_id), section(output_bytes)];
end

% linsvm_fit seeds its draws from the clock when it has no seed. Two such
% calls may still agree (a few examples give a few possible results), and
% another host's then need not: the information structures of two more
% calls tell, by their seeds.
function yes = clock_seeded (c)
  set_refusal (c.refuse);
  try
    evalc ("[~, first] = feval (c.name, c.args{:}); [~, second] = feval (c.name, c.args{:});");
    yes = first.seed != second.seed;
  catch
    yes = false;
  end
  unsetenv ("REFUSE_MODULE_MEMORY");
end

args = argv ();
addpath (fileparts (mfilename ("fullpath")));  % encode_value
addpath (args{1});
cases = load (args{2}).cases;
preloaded = ! isempty (strfind (getenv ("LD_PRELOAD"), "refusing"));
warning ("off", "backtrace");  % a warning prints as one line
started = tic ();

fid = fopen (args{3}, "w");
fwrite (fid, [uint8("MEXRESLT"), typecast(uint32([1, 0]), "uint8")]);
[written, unrepeatable, left_out] = deal (0);
for k = 1:numel (cases)
  if (! isempty (cases(k).refuse) && ! preloaded)
    left_out += 1;
    continue;
  end
  [record, ok] = call_case (cases(k));
  repeatable = isequal (record, call_case (cases(k)));
  if (repeatable && ok && strcmp (cases(k).name, "linsvm_fit"))
    repeatable = ! clock_seeded (cases(k));
  end
  unrepeatable += ! repeatable;
  fwrite (fid, [typecast(uint32(k - 1), "uint8"), uint8(repeatable), record]);
  written += 1;
end
fseek (fid, 12, SEEK_SET);
fwrite (fid, typecast (uint32 (written), "uint8"));
fclose (fid);
printf ("%d cases replayed, %d of them unrepeatable; %d left out (memory refused, no refusing allocator); %.0f s\n", ...
        written, unrepeatable, left_out, toc (started));
