% Demo: trains linsvm_fit on a small two-class problem and prints the
% weights and the training accuracy.
% Usage: octave-cli demo/demo.m MEX_DIR
1;
args = argv ();
if (! isempty (args))
  addpath (args{1});
end

% Fisher's iris measurements (first ten of each of two species: setosa and
% versicolor), sepal length and width.
setosa = [5.1 3.5; 4.9 3.0; 4.7 3.2; 4.6 3.1; 5.0 3.6; 5.4 3.9; 4.6 3.4; 5.0 3.4; 4.4 2.9; 4.9 3.1]';
versicolor = [7.0 3.2; 6.4 3.2; 6.9 3.1; 5.5 2.3; 6.5 2.8; 5.7 2.8; 6.3 3.3; 4.9 2.4; 6.6 2.9; 5.2 2.7]';
X = [setosa, versicolor];
y = [ones(1, 10), -ones(1, 10)];

options = struct ("lambda", 0.01, "nbite", 2000, "seed", 1);
w = linsvm_fit (X, y, options);
predicted = sign (w(1:2)' * X + w(3));
printf ("weights: [%s]\n", num2str (w', "%.6f "));
printf ("training accuracy: %.1f%% (%d of %d)\n", 100 * mean (predicted == y), sum (predicted == y), numel (y));
