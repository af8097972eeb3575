function failed = report_checks (checks)
  % Prints each (description, passed) row of CHECKS as "ok" or "FAIL";
  % returns how many failed.
  failed = 0;
  for k = 1:rows (checks)
    if (checks{k, 2})
      printf ("  ok    %s\n", checks{k, 1});
    else
      printf ("  FAIL  %s\n", checks{k, 1});
      failed += 1;
    endif
  endfor
endfunction
