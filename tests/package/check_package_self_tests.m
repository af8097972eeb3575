function [failed, total] = check_package_self_tests (package, names)
  % Runs the package's own tests as a user checking an installation would:
  % "pkg test PACKAGE" (in a temporary folder, where it writes fntests.log),
  % which must run and pass the tests of every named function's help file,
  % then "test NAME" for each. The package must be installed. Prints one line
  % per check; returns the numbers of failed and of all checks.
  work = tempname ();
  mkdir (work);
  here = cd (work);
  unwind_protect
    output = evalc (sprintf ("pkg test %s", package));
  unwind_protect_cleanup
    cd (here);
    confirm_recursive_rmdir (false, "local");
    rmdir (work, "s");
  end_unwind_protect
  summary_pass = str2double (regexp (output, '^\s*PASS\s+(\d+)\s*$', "tokens", "once", "lineanchors"));
  summary_fail = str2double (regexp (output, '^\s*FAIL\s+(\d+)\s*$', "tokens", "once", "lineanchors"));

  % (No spaces before parentheses inside the cell literals: they would split
  % elements.)
  checks = {};
  counted = 0;
  for k = 1:numel (names)
    % pkg test lists each file it ran as ".../NAME.m  pass P/N" (dots fill
    % the gap after a short name).
    counts = str2double (regexp (output, ['[/\\]' names{k} '\.m[\s.]+pass\s+(\d+)/(\d+)'], "tokens", "once"));
    ran = numel (counts) == 2 && counts(2) > 0 && counts(1) == counts(2);
    if (numel (counts) == 2)
      counted += counts(2);
    endif
    checks(end+1, :) = {sprintf("pkg test %s runs and passes the tests in %s.m", package, names{k}), ran};
    [passed, total] = deal (0);
    evalc ("[passed, total] = test (names{k}, 'quiet');");
    ok = total > 0 && passed == total;
    checks(end+1, :) = {sprintf("test %s: %d of %d passed", names{k}, passed, total), ok};
  endfor
  ok = summary_fail == 0 && summary_pass == counted && counted > 0;
  checks(end+1, :) = {sprintf("pkg test %s: summary PASS %d, FAIL %d, for %d tests listed", ...
                              package, summary_pass, summary_fail, counted), ok};

  failed = report_checks (checks);
  total = rows (checks);
  if (failed > 0)
    printf ("pkg test output:\n%s", output);
  endif
endfunction
