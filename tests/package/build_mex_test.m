% Runs build_mex.m in Octave (which builds oct-files with mkoctfile) into a
% temporary folder, then calls every module built there and reads its help;
% a second run leaves the modules as they are, while a module older than its
% sources, or 'force', is compiled again.
% Usage: octave-cli build_mex_test.m REPOSITORY_ROOT [NAME ...]
1;
args = argv ();
root = args{1};
names = args(2:end);
if (isempty (names))
  names = {"linsvm_fit", "scale_bilinear", "luma_u8", "resize_image"};
endif
addpath (fileparts (mfilename ("fullpath")));
addpath (root);

work = tempname ();
confirm_recursive_rmdir (false);
cleanup = onCleanup (@() rmdir (work, "s"));

built = build_mex (work, names);
addpath (built);
[failed, total] = check_installed_modules (work, names);

% Modification times, in whole seconds; a compile takes longer than one.
built_at = @(name) stat (fullfile (work, [name ".oct"])).mtime;
compiled = @(printed, name) ! isempty (strfind (printed, [name " from"]));
before = cellfun (built_at, names);
printed = evalc ("build_mex (work, names);");
skipped = isempty (strfind (printed, "source file(s)")) && isequal (cellfun (built_at, names), before) ...
          && all (cellfun (@(name) ! isempty (strfind (printed, [name " is up to date"])), names));
checks = {"a second build_mex compiles nothing and says each module is up to date", skipped};
if (any (strcmp (names, "linsvm_fit")))
  checks(end+1, :) = {"linsvm_predict.m goes beside linsvm_fit", isfile(fullfile(work, "linsvm_predict.m"))};
endif
name = names{end};
system (sprintf ("touch -d 2000-01-01 '%s'", fullfile (work, [name ".oct"])));
printed = evalc ("build_mex (work, {name});");
stale_compiled = compiled (printed, name) && built_at (name) >= before(end);
checks(end+1, :) = {sprintf("%s older than its sources is compiled again", name), stale_compiled};
pause (1.1);
before = built_at (name);
printed = evalc ("build_mex (work, {name}, 'force');");
forced = compiled (printed, name) && built_at (name) > before;
checks(end+1, :) = {sprintf("'force' compiles %s again though it is up to date", name), forced};
failed += report_checks (checks);
total += rows (checks);

total += 1;
try
  build_mex (work, {"no_such_module"});
  printf ("  FAIL  build_mex refuses an unknown module name\n");
  failed += 1;
catch err
  if (strcmp (err.identifier, "build_mex:unknownModule"))
    printf ("  ok    build_mex refuses an unknown module name (%s)\n", err.message);
  else
    printf ("  FAIL  build_mex refuses an unknown module name (wrong error: %s)\n", err.message);
    failed += 1;
  endif
end_try_catch
printf ("%d passed, %d failed\n", total - failed, failed);
exit (double (failed > 0));
