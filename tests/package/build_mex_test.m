% Runs build_mex.m in Octave (its mex is mkoctfile --mex) into a temporary
% folder, then calls every module built there and reads its help.
% Usage: octave-cli build_mex_test.m REPOSITORY_ROOT [NAME ...]
1;
args = argv ();
root = args{1};
names = args(2:end);
if (isempty (names))
  names = {"linsvm_fit", "scale_bilinear", "luma_u8"};
endif
addpath (fileparts (mfilename ("fullpath")));
addpath (root);

work = tempname ();
confirm_recursive_rmdir (false);
cleanup = onCleanup (@() rmdir (work, "s"));

built = build_mex (work, names);
addpath (built);
[failed, total] = check_installed_modules (work, names);
printf ("%d passed, %d failed\n", total - failed, failed);
exit (double (failed > 0));
