% Demo: the three functions on real data.
%   Images: an RGB image (Octave's bundled octave-sombrero.png, or IMAGE)
%   turned gray with luma_u8, a pyramid built with scale_bilinear (and the
%   colour image resampled plane by plane), a montage
%   PNG, and the time and throughput of every call beside Octave's own
%   arithmetic for the same job.
%   Training: linsvm_fit on LIBLINEAR's heart_scale sample with a fixed
%   split, for several step counts, beside liblinear-train on the same split.
% Usage: octave-cli demo/demo.m MODULE_DIR OUTPUT_DIR [IMAGE] (MODULE_DIR: build/oct or build/mex)
1;
args = argv ();
if (numel (args) < 2)
  error ("usage: octave-cli demo/demo.m MODULE_DIR OUTPUT_DIR [IMAGE]");
endif
addpath (args{1});
% Helpers live in a folder of their own: this folder's demo.m would shadow
% Octave's demo function.
addpath (fullfile (fileparts (mfilename ("fullpath")), "helpers"));
output_dir = args{2};
if (! isfolder (output_dir))
  mkdir (output_dir);
endif
more off;

%% Images ---------------------------------------------------------------
if (numel (args) >= 3 && ! isempty (args{3}))
  image_file = args{3};
  if (exist (image_file, "file") != 2)
    error ("demo:noImage", "IMAGE=%s: no such file", image_file);
  endif
else
  image_file = fullfile (__octave_config_info__ ("imagedir"), "octave-sombrero.png");
endif
rgb = load_rgb (image_file);
[Ny, Nx, ~] = size (rgb);
printf ("Images: %s, read as %d x %d RGB\n\n", image_file, Ny, Nx);
printf ("  %-38s %13s %11s %10s  %s\n", "call", "output", "time/call", "Mpixel/s", "Octave's own code for the same result");

% luma_u8 beside the same weighted sum written in Octave: identical results.
weights = [0.298936021293776, 0.587043074451121, 0.114020904255103];
octave_luma = @() uint8 (fix ((double (rgb(:, :, 1)) * weights(1) + double (rgb(:, :, 2)) * weights(2)) ...
                              + double (rgb(:, :, 3)) * weights(3)));
gray = luma_u8 (rgb);
t = seconds_per_call (@() luma_u8 (rgb));
t_octave = seconds_per_call (octave_luma);
printf ("  %-38s %13s %8.3f ms %10.1f  weighted sum: %.3f ms, %s\n", "luma_u8(RGB)", ...
        sprintf ("%d x %d", Ny, Nx), 1e3 * t, Ny * Nx / t / 1e6, 1e3 * t_octave, ...
        ifelse_text (isequal (gray, octave_luma ()), "identical", "DIFFERENT"));

% The pyramid, each level from the full gray image, beside interp2 at the
% same sample positions (truncated like scale_bilinear).
scales = [1, 0.8, 0.64, 0.5, 2];
levels = cell (size (scales));
for k = 1:numel (scales)
  ny = max (1, round (Ny * scales(k)));
  nx = max (1, round (Nx * scales(k)));
  levels{k} = scale_bilinear (gray, [ny nx]);
  t = seconds_per_call (@() scale_bilinear (gray, [ny nx]));
  rows_at = 1 + (0:ny-1)' * ((Ny - 1) / ((ny - 1) + 1e-7));
  columns_at = 1 + (0:nx-1) * ((Nx - 1) / ((nx - 1) + 1e-7));
  octave_scale = @() uint8 (fix (interp2 (double (gray), columns_at, rows_at, "linear")));
  t_octave = seconds_per_call (octave_scale);
  difference = abs (double (levels{k}) - double (octave_scale ()));
  printf ("  %-38s %13s %8.3f ms %10.1f  interp2: %.3f ms, %s\n", ...
          sprintf ("scale_bilinear(G, [%d %d])  x%g", ny, nx, scales(k)), sprintf ("%d x %d", ny, nx), ...
          1e3 * t, ny * nx / t / 1e6, 1e3 * t_octave, ...
          ifelse_text (any (difference(:)), ...
                       sprintf ("%d of %d pixels differ by at most %d", nnz (difference), numel (difference), max (difference(:))), ...
                       "identical"));
endfor

% The colour image itself: each plane resampled on its own, the same bytes as
% three calls on the planes.
ny = max (1, round (Ny * 0.5));
nx = max (1, round (Nx * 0.5));
colour_half = scale_bilinear (rgb, [ny nx]);
t = seconds_per_call (@() scale_bilinear (rgb, [ny nx]));
per_plane = cat (3, scale_bilinear (rgb(:, :, 1), [ny nx]), scale_bilinear (rgb(:, :, 2), [ny nx]), ...
                 scale_bilinear (rgb(:, :, 3), [ny nx]));
printf ("  %-38s %13s %8.3f ms %10.1f  three calls on its planes: %s\n", ...
        sprintf ("scale_bilinear(RGB, [%d %d])  x0.5", ny, nx), sprintf ("%d x %d x 3", ny, nx), 1e3 * t, ...
        3 * ny * nx / t / 1e6, ifelse_text (isequal (colour_half, per_plane), "identical", "DIFFERENT"));

% Montage: colour input, gray x1 and the smaller levels side by side on the
% top row, bottom-aligned; the 2x enlargement below.
gap = 12;
top = [{rgb}, cellfun(@(level) repmat (level, [1 1 3]), levels(1:4), "uniformoutput", false), {colour_half}];
top_height = max (cellfun (@rows, top));
top_width = sum (cellfun (@columns, top)) + gap * (numel (top) + 1);
enlarged = repmat (levels{5}, [1 1 3]);
canvas = repmat (uint8 (255), [top_height + rows(enlarged) + 3 * gap, max(top_width, columns (enlarged) + 2 * gap), 3]);
x = gap + 1;
for k = 1:numel (top)
  [h, w, ~] = size (top{k});
  canvas(gap + top_height - h + (1:h), x - 1 + (1:w), :) = top{k};
  x += w + gap;
endfor
canvas(2 * gap + top_height + (1:rows (enlarged)), gap + (1:columns (enlarged)), :) = enlarged;
montage_file = fullfile (output_dir, "montage.png");
imwrite (canvas, montage_file);
printf (["  (interp2 forms positions and weights in its own way; after truncation, a value that lies\n" ...
         "  next to an integer can come out one level apart)\n"]);
printf ("\n  montage %d x %d: top row colour input, gray x1, x0.8, x0.64, x0.5, colour x0.5; below it gray x2\n\n", ...
        rows (canvas), columns (canvas));

%% Training -------------------------------------------------------------
data_file = find_heart_scale (output_dir);
[X, y] = read_libsvm (data_file);
[d, N] = size (X);
is_test = mod (1:N, 3) == 0;
X_train = X(:, ! is_test);
y_train = y(! is_test);
X_test = X(:, is_test);
y_test = y(is_test);
N_train = numel (y_train);
printf ("Training: %s, %d examples, %d features, labels %s\n", data_file, N, d, mat2str (unique (y)));
printf ("  fixed split: every third example (%d) for testing, the other %d for training\n", ...
        numel (y_test), N_train);

lambda = 0.01;
objective = @(w, b) lambda / 2 * (w' * w + b ^ 2) + mean (max (0, 1 - y_train .* (w' * X_train + b)));
correct = @(w, b) sum (sign (w' * X_test + b) == y_test);
printf ("  objective: lambda/2 |w|^2 + mean hinge loss on the training set, lambda = %g, bias feature 1\n\n", lambda);
printf ("  %-44s %10s %12s %10s  %s\n", "trainer", "steps", "time/call", "objective", "test accuracy");

for steps = [100, 1000, 10000, 100000]
  options = struct ("lambda", lambda, "nbite", steps, "seed", 1);
  w = linsvm_fit (X_train, y_train, options);
  t = seconds_per_call (@() linsvm_fit (X_train, y_train, options));
  hits = correct (w(1:d), w(d+1));
  printf ("  %-44s %10d %9.3f ms %10.4f  %5.1f%% (%d/%d)\n", "linsvm_fit (seed 1)", steps, 1e3 * t, ...
          objective (w(1:d), w(d+1)), 100 * hits / numel (y_test), hits, numel (y_test));
endfor

% LIBLINEAR on the same files: solver 3 minimises 1/2 |w|^2 + C * sum of
% hinge losses, the same problem when C = 1 / (lambda * N_train); -B 1 adds
% the same regularised bias feature. Its default solver 1 (squared hinge,
% C = 1) is shown too. Times are wall times of the whole command.
train_file = fullfile (output_dir, "heart_scale_train.txt");
test_file = fullfile (output_dir, "heart_scale_test.txt");
model_file = fullfile (output_dir, "heart_scale.model");
write_libsvm (train_file, X_train, y_train);
write_libsvm (test_file, X_test, y_test);
for setting = {sprintf("-s 3 -c %.6g -B 1", 1 / (lambda * N_train)), "-s 1 -c 1 -B 1"}
  command = sprintf ("liblinear-train -q %s '%s' '%s'", setting{1}, train_file, model_file);
  [status, output] = system (command);
  if (status != 0)
    error ("demo:liblinear", "%s failed:\n%s", command, output);
  endif
  t = seconds_per_call (@() system (command));
  [status, output] = system (sprintf ("liblinear-predict '%s' '%s' '%s'", test_file, model_file, ...
                                      fullfile (output_dir, "heart_scale.predicted")));
  counts = sscanf (regexp (output, '\((\d+/\d+)\)', "tokens", "once"){1}, "%d/%d");
  if (status != 0 || numel (counts) != 2)
    error ("demo:liblinear", "liblinear-predict failed:\n%s", output);
  endif
  [w, b] = read_liblinear_model (model_file);
  printf ("  %-44s %10s %9.3f ms %10.4f  %5.1f%% (%d/%d)\n", ["liblinear-train " setting{1}], "-", ...
          1e3 * t, objective (w, b), 100 * counts(1) / counts(2), counts(1), counts(2));
endfor

printf ("  (liblinear times are wall times of the whole command, process start included)\n");
printf ("\nThe picture is %s\n", montage_file);
