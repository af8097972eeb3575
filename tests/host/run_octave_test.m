% Runs the %! blocks of one test file with the built modules on the path.
% Usage: octave-cli run_octave_test.m MEX_DIR TEST_FILE
1;
args = argv ();
addpath (args{1});
addpath (fileparts (mfilename ("fullpath")));  % shared test helpers
[passed, total] = test (args{2}, "quiet", stdout);
printf ("%d passed, %d failed\n", passed, total - passed);
exit (double (total == 0 || passed != total));
