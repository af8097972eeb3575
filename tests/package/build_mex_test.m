% Runs build_mex.m in Octave (which builds oct-files with mkoctfile) into a
% temporary folder, then calls every module built there and reads its help.
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
