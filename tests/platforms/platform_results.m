% Computes results of all three modules on fixed inputs and saves them, so
% that builds for different processors and Octave releases can be compared
% (compare_results.m): the documented examples, and larger inputs made by
% exact integer arithmetic (the same on every machine, unlike rand and randn,
% whose tables go through the platform's exp and log).
% Usage: octave-cli platform_results.m OUTPUT_FILE [MODULE_DIR]
% Without MODULE_DIR the modules must already be on the path (pkg load).
1;

% n pseudo-random integers in 0 .. range-1 from a seed, by exact double
% arithmetic (every intermediate stays below 2^53).
function v = integers (n, range, seed)
  k = (0:n-1)';
  a = mod (k * 40503 + seed * 7919 + 12345, 65536);
  b = mod (a .* a + k * 2654435 + seed, 4294967296);
  c = mod (floor (b / 256) .* 69069 + 1013904223, 4294967296);
  v = mod (floor (c / 65536), range);
endfunction

args = argv ();
output = args{1};
if (numel (args) >= 2)
  addpath (args{2});
endif

r = struct ();

% Documented examples.
X = uint8 ([0 50; 100 150]);
r.scale_doc_3x3 = scale_bilinear (X, [3 3]);
r.scale_doc_1x4 = scale_bilinear (X, [1 4]);
r.scale_doc_constant_7x1 = scale_bilinear (repmat (uint8 (100), 2, 2), [7 1]);
r.scale_doc_constant_1x7 = scale_bilinear (repmat (uint8 (100), 2, 2), [1 7]);
r.luma_doc = luma_u8 (uint8 (cat (3, [255 0; 10 255], [0 255; 20 255], [0 0; 30 255])));
r.luma_doc_grays = luma_u8 (repmat (uint8 (reshape ([63 85 126 170 239 252], 1, 6)), [1 1 3]));
r.svm_doc_ramp = linsvm_fit (1:10, ones (1, 10), struct ("nbite", 10, "seed", 1));
r.svm_doc_one_step = linsvm_fit (2, 1, struct ("lambda", 0.01, "nbite", 1, "seed", 5));
% The README's two clusters around (2, 2) and (-2, -2), with fixed spreads.
spread = (reshape (integers (200, 2001, 3), 2, 100) - 1000) / 512;
Xc = [spread(:, 1:50) + 2, spread(:, 51:100) - 2];
yc = [ones(1, 50), -ones(1, 50)];
r.svm_doc_clusters = linsvm_fit (Xc, yc, struct ("lambda", 0.01, "nbite", 5000, "seed", 1));

% A larger colour image, its gray levels, and resamplings of both.
Ny = 397; Nx = 611;
RGB = uint8 (reshape (integers (Ny * Nx * 3, 256, 11), Ny, Nx, 3));
% Neutral grays and smooth ramps too, where truncation is closest to a level.
RGB(1:64, 1:64, :) = repmat (uint8 (mod ((0:63)' + (0:63) * 4, 256)), [1 1 3]);
RGB(100:355, 200, :) = repmat (uint8 (0:255)', [1 1 3]);
r.image_rgb = RGB;
G = luma_u8 (RGB);
r.luma_large = G;
r.luma_all_grays = luma_u8 (repmat (uint8 (0:255), [1 1 3]));
sizes = [211 333; 397 611; 1000 1500; 1 700; 700 1; 3 3; 37 1024; 4096 16];
for k = 1:rows (sizes)
  r.(sprintf ("scale_large_%dx%d", sizes(k, 1), sizes(k, 2))) = scale_bilinear (G, sizes(k, :));
endfor
r.scale_planes = scale_bilinear (RGB, [300 500]);
r.scale_long_column = scale_bilinear (G(1:10, 1:2), [100000 2]);
% The other classes, by every size form: 16-bit integers over their whole
% range, and floating-point values with NaNs and infinities among them.
r.scale_uint16 = scale_bilinear (uint16 (reshape (integers (Ny * Nx, 65536, 17), Ny, Nx)), [300 500]);
r.scale_int16 = scale_bilinear (int16 (reshape (integers (Ny * Nx * 2, 65536, 19), Ny, Nx, 2) - 32768), 0.8);
F = reshape (integers (Ny * Nx, 2^20, 23), Ny, Nx) / 2^10 - 512;
F(1:97:end) = NaN;
F(5:211:end) = Inf;
F(9:307:end) = -Inf;
r.scale_single = scale_bilinear (single (F), [1000 NaN]);
r.scale_double = scale_bilinear (F, 1.25);

% A larger training problem: integer features over 256, labels from an
% integer hyperplane (exact in any summation order), some of them flipped.
d = 37; N = 2000;
Z = reshape (integers (d * N, 2001, 5), d, N) - 1000;
w_true = integers (d, 41, 9) - 20;
score = w_true' * Z + 7;
y = sign (score);
y(y == 0) = 1;
flip = integers (N, 20, 13)' == 0;
y(flip) = -y(flip);
Xs = Z / 256;
r.svm_large_input = Xs;
r.svm_large_labels = y;
r.svm_large = linsvm_fit (Xs, y, struct ("lambda", 1e-3, "nbite", 20000, "seed", 7));
r.svm_large_no_bias = linsvm_fit (Xs, y, struct ("lambda", 1e-2, "biasmult", 0, "nbite", 5000, "seed", 3));
r.svm_large_single = linsvm_fit (single (Xs), y, struct ("lambda", 1e-3, "nbite", 20000, "seed", 7));
r.svm_large_odd_d = linsvm_fit (Xs(1:13, :), y, struct ("lambda", 1e-3, "biasmult", 2.5, "nbite", 8000, "seed", 21));

save ("-binary", output, "-struct", "r");
printf ("platform_results: %d results written to %s\n", numel (fieldnames (r)), output);
