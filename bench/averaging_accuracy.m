% Test accuracy of the last iterate against the averaged one on a real data
% set, Fashion-MNIST (Debian's dataset-fashion-mnist: 60000 training and
% 10000 test images of 28 x 28 pixels, 10 classes): 10 one-vs-rest models in
% one call, 10 passes, for three values of lambda; and the same data through
% LIBLINEAR's command-line tools (liblinear-tools), -s 3 (dual L1-loss SVC,
% the same objective scaled), at C = 1/(lambda N) for our best lambda and at
% C = 0.1. Our calls run on one thread, as LIBLINEAR does; LIBLINEAR's times
% include reading its text file, which a row gives alone. Rows are skipped,
% naming the reason, where the data or the tools are missing.
% Usage: octave-cli averaging_accuracy.m OCT_DIR
1;

function row (method, setting, passes, accuracy, seconds)
  accuracy_text = "";
  if (! isnan (accuracy))
    accuracy_text = sprintf ("%.2f%%", 100 * accuracy);
  end
  printf ("| %s | %s | %s | %s | %.2f s |\n", method, setting, passes, accuracy_text, seconds);
end

function remove_folder (folder)
  confirm_recursive_rmdir (false, "local");
  rmdir (folder, "s");
end

% An IDX file (big-endian header: magic, then one uint32 per dimension),
% gzipped or not, as a column of uint8 values and its dimensions.
function [values, dims] = read_idx (file, scratch)
  if (any (regexp (file, "\\.gz$")))
    file = gunzip (file, scratch){1};
  end
  fid = fopen (file, "r", "ieee-be");
  magic = fread (fid, 1, "uint32");
  if (bitshift (magic, -8) != 8)   % 0x08: unsigned bytes
    fclose (fid);
    error ("averaging_accuracy: %s is no IDX file of unsigned bytes", file);
  end
  dims = fread (fid, mod (magic, 256), "uint32")';
  values = fread (fid, Inf, "uint8=>uint8");
  fclose (fid);
end

% Examples in LIBSVM's text format: the non-zero features, counted from 1,
% to 9 digits (the training file is some 370 MB already).
function write_libsvm (file, X, labels)
  fid = fopen (file, "w");
  for j = 1:columns (X)
    k = find (X(:, j));
    fprintf (fid, "%d", labels(j));
    fprintf (fid, " %d:%.9g", [k'; X(k, j)']);
    fprintf (fid, "\n");
  end
  fclose (fid);
end

args = argv ();
addpath (make_absolute_filename (args{1}));   % gunzip changes folder as it goes
data_dir = "/usr/share/datasets/fashion-mnist";
if (! isfolder (data_dir))
  printf ("| averaging | Fashion-MNIST not installed (dataset-fashion-mnist) | | | |\n");
  return;
end
scratch = tempname ();
mkdir (scratch);

[pixels, dims] = read_idx (fullfile (data_dir, "train-images-idx3-ubyte.gz"), scratch);
X = reshape (double (pixels) / 255, dims(2) * dims(3), dims(1));
y = double (read_idx (fullfile (data_dir, "train-labels-idx1-ubyte.gz"), scratch))';
[pixels, dims] = read_idx (fullfile (data_dir, "t10k-images-idx3-ubyte.gz"), scratch);
Xtest = reshape (double (pixels) / 255, dims(2) * dims(3), dims(1));
ytest = double (read_idx (fullfile (data_dir, "t10k-labels-idx1-ubyte.gz"), scratch))';
clear pixels;
N = columns (X);
passes = 10;

setenv ("MEX_KERNELS_THREADS", "1");
printf ("| Method | lambda or C | Passes | Test accuracy | Seconds |\n");
printf ("|---|---|---|---|---|\n");
lambdas = [1e-4 1e-5 1e-6];
best_accuracy = -Inf;
for lambda = lambdas
  options = {"classes", true, "lambda", lambda, "nbite", passes * N, "seed", 1};
  % Timed with one output (info costs a pass over X per model), the faster
  % of two calls each, in turns.
  last_seconds = mean_seconds = Inf;
  for repetition = 1:2
    start = tic ();
    w_last = linsvm_fit (X, y, options{:}, "average", false);
    last_seconds = min (last_seconds, toc (start));
    start = tic ();
    w_mean = linsvm_fit (X, y, options{:}, "average", true);
    mean_seconds = min (mean_seconds, toc (start));
  end
  [w, info] = linsvm_fit (X, y, options{:}, "average", true);
  last_accuracy = mean (linsvm_predict (w_last, Xtest, info) == ytest);
  mean_accuracy = mean (linsvm_predict (w_mean, Xtest, info) == ytest);
  row ("linsvm_fit, last iterate, 10 classes in one call, 1 thread", sprintf ("lambda %g", lambda),
       sprintf ("%d", passes), last_accuracy, last_seconds);
  row (sprintf ("linsvm_fit, 'average', true (%d iterates), 10 classes in one call, 1 thread", info.averaged),
       sprintf ("lambda %g", lambda), sprintf ("%d", passes), mean_accuracy, mean_seconds);
  if (! isequal (w, w_mean) || ! isequal (info.last, w_last))
    printf ("| linsvm_fit | lambda %g: the averaged call's w or info.last differs from the calls above | | | |\n", lambda);
  end
  if (max (last_accuracy, mean_accuracy) > best_accuracy)
    best_accuracy = max (last_accuracy, mean_accuracy);
    best_lambda = lambda;
  end
end

train = file_in_path (getenv ("PATH"), "liblinear-train");
predict = file_in_path (getenv ("PATH"), "liblinear-predict");
if (isempty (train) || isempty (predict))
  printf ("| LIBLINEAR | not installed (liblinear-tools) | | | |\n");
  remove_folder (scratch);
  return;
end
training_file = fullfile (scratch, "train.txt");
test_file = fullfile (scratch, "test.txt");
write_libsvm (training_file, X, y);
write_libsvm (test_file, Xtest, ytest);
model_file = fullfile (scratch, "model");
output_file = fullfile (scratch, "predicted");
% Reading the file alone: a tolerance so large that the solver stops after
% its first pass.
start = tic ();
system (sprintf ("%s -q -s 3 -B 1 -e 1e9 %s %s", train, training_file, model_file));
row ("liblinear-train, reading the file (-e 1e9)", "", "", NaN, toc (start));
for C = [1 / (best_lambda * N), 0.1]
  start = tic ();
  [status, output] = system (sprintf ("%s -s 3 -B 1 -c %.17g %s %s", train, C, training_file, model_file));
  seconds = toc (start);
  % A model whose solver stopped at its iteration limit, short of -e 0.1.
  limited = numel (strfind (output, "reaching max number of iterations"));
  if (status != 0)
    printf ("| liblinear-train | C %g: failed (status %d) | | | |\n", C, status);
    continue;
  end
  system (sprintf ("%s -q %s %s %s", predict, test_file, model_file, output_file));
  predicted = load (output_file)';
  setting = sprintf ("C %.4g", C);
  if (abs (C - 1 / (best_lambda * N)) < 1e-12 * C)
    setting = sprintf ("C %.4g (lambda %g)", C, best_lambda);
  end
  passes_text = "until -e 0.1";
  if (limited > 0)
    passes_text = sprintf ("until -e 0.1 (%d of 10 models stopped at its iteration limit)", limited);
  end
  row ("liblinear-train -s 3 -B 1, 1 thread", setting, passes_text, mean (predicted == ytest), seconds);
end
remove_folder (scratch);
