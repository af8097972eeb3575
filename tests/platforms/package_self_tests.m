% Runs the installed package's own tests (pkg test, test NAME) with the
% package lists that install_package.m made in PREFIX.
% Usage: octave-cli package_self_tests.m PREFIX
1;
args = argv ();
prefix = args{1};
addpath (fullfile (fileparts (fileparts (mfilename ("fullpath"))), "package"));
pkg ("local_list", fullfile (prefix, "octave_packages"));
pkg ("global_list", fullfile (prefix, "octave_packages_global"));
pkg ("load", "linsvm_image");
[failed, total] = check_package_self_tests ("linsvm_image", {"linsvm_fit", "scale_bilinear", "luma_u8", "resize_image", "linsvm_predict"});
printf ("%d passed, %d failed\n", total - failed, failed);
exit (double (failed > 0));
