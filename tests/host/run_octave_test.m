% Runs the %! blocks of one test file with the built modules on the path.
% Usage: octave-cli run_octave_test.m MEX_DIR TEST_FILE
1;
args = argv ();
addpath (args{1});
addpath (fileparts (mfilename ("fullpath")));  % shared test helpers
addpath (fileparts (args{2}));  % the test's own helpers beside it
[passed, total] = test (args{2}, "quiet", stdout);
printf ("%d passed, %d failed\n", passed, total - passed);
exit (double (total == 0 || passed != total));
