% Rows of the benchmark table measured inside Octave: the modules as Octave
% users get them (the oct-files, on their default threads, and on one
% thread) against Octave's own rgb2gray and imresize on the same inputs, the
% cost of one call on tiny inputs; the oct-files against the MEX modules of
% the same sources (named NAME_mex) and against their kernels alone (times
% from bench_kernels --kernel-times, same machine, same make bench); and,
% when the last release's modules are at hand (named NAME_release), the same
% calls against them. Every figure is the fastest of several repetitions.
% Usage: octave-cli octave_vs_builtin.m OCT_DIR MEX_DIR [RELEASE_MEX_DIR [KERNEL_TIMES]]
1;

function t = best_time (f, calls, repetitions)
  t = Inf;
  for r = 1:repetitions
    start = tic ();
    for c = 1:calls
      f ();
    end
    t = min (t, toc (start) / calls);
  end
end

function row (kernel, case_text, ours, peer, ratio)
  printf ("| %s | %s | %s | %s | **%.2f** |\n", kernel, case_text, ours, peer, ratio);
end

% The same timing with the kernels held to one thread.
function t = one_thread_time (f, calls, repetitions)
  old = getenv ("MEX_KERNELS_THREADS");
  setenv ("MEX_KERNELS_THREADS", "1");
  t = best_time (f, calls, repetitions);
  if (isempty (old))
    unsetenv ("MEX_KERNELS_THREADS");
  else
    setenv ("MEX_KERNELS_THREADS", old);
  end
end

% Two calls timed in turns, so that both see the same machine.
function [a, b] = paired_best_time (f, g, calls, repetitions)
  a = Inf;
  b = Inf;
  for r = 1:repetitions
    a = min (a, best_time (f, calls, 1));
    b = min (b, best_time (g, calls, 1));
  end
end

% The kernels' times written by bench_kernels: a structure of name -> seconds.
function times = read_kernel_times (file)
  times = struct ();
  for line = strsplit (strtrim (fileread (file)), "\n")
    parts = strsplit (strtrim (line{1}));
    times.(strrep (parts{1}, ".", "_")) = str2double (parts{2});
  end
end

args = argv ();
addpath (args{1});
addpath (args{2});
have_release = numel (args) >= 3;
if (have_release)
  addpath (args{3});
end
have_kernel_times = numel (args) >= 4 && isfile (args{4});
if (have_kernel_times)
  kernel = read_kernel_times (args{4});
end
have_image = true;
try
  pkg load image
catch
  have_image = false;
end

rand ("seed", 1);

% Large images: throughput against Octave's functions.
for size_ = [1080 1920; 2160 3840]'
  rgb = uint8 (255 * rand (size_(1), size_(2), 3));
  ours = best_time (@() luma_u8 (rgb), 3, 5);
  one = one_thread_time (@() luma_u8 (rgb), 3, 5);
  peer = best_time (@() rgb2gray (rgb), 3, 5);
  row ("luma_u8 (Octave)", sprintf ("default threads vs rgb2gray, %dx%d", size_(2), size_(1)),
       sprintf ("%.2f ms", 1e3 * ours), sprintf ("%.1f ms", 1e3 * peer), peer / ours);
  row ("luma_u8 (Octave)", sprintf ("default threads vs 1 thread, %dx%d", size_(2), size_(1)),
       sprintf ("%.2f ms", 1e3 * ours), sprintf ("%.2f ms", 1e3 * one), one / ours);
end

if have_image
  X = uint8 (255 * rand (1080, 1920));
  for factor = [0.5 0.8 1.0 1.25 2.0]
    out = round ([1080 1920] * factor);
    ours = best_time (@() scale_bilinear (X, out), 3, 5);
    one = one_thread_time (@() scale_bilinear (X, out), 3, 5);
    peer = best_time (@() imresize (X, out, "bilinear"), 1, 3);
    % At factor 1 imresize hands back its input; the module still interpolates.
    row ("scale_bilinear (Octave)", sprintf ("default threads vs imresize bilinear, 1920x1080 x %.2f", factor),
         sprintf ("%.2f ms", 1e3 * ours), sprintf ("%.1f ms", 1e3 * peer), peer / ours);
    row ("scale_bilinear (Octave)", sprintf ("default threads vs 1 thread, 1920x1080 x %.2f", factor),
         sprintf ("%.2f ms", 1e3 * ours), sprintf ("%.2f ms", 1e3 * one), one / ours);
  end
  % The other classes, by scale factor, against imresize on the same class
  % (16-bit values over their range, floats in [0, 1] as im2single gives).
  for class_name = {"uint16", "single"}
    if (strcmp (class_name{1}, "uint16"))
      Z = uint16 (65535 * rand (1080, 1920));
    else
      Z = single (rand (1080, 1920));
    end
    for factor = [0.8 1.25 2.0]
      ours = best_time (@() scale_bilinear (Z, factor), 3, 5);
      peer = best_time (@() imresize (Z, factor, "bilinear"), 1, 3);
      row ("scale_bilinear (Octave)", sprintf ("%s, default threads vs imresize bilinear, 1920x1080 x %.2f", ...
                                               class_name{1}, factor),
           sprintf ("%.2f ms", 1e3 * ours), sprintf ("%.1f ms", 1e3 * peer), peer / ours);
    end
  end
else
  printf ("| scale_bilinear (Octave) | imresize not available (octave-image) | | | |\n");
end

% resize_image against imresize with the same method (Octave's imresize has
% nearest, bilinear and bicubic), gray and colour; default threads vs one.
if have_image
  X = uint8 (255 * rand (1080, 1920));
  RGB = uint8 (255 * rand (1080, 1920, 3));
  for method = {"bicubic", "bilinear", "nearest"}
    for factor = [0.5 0.8 1.25 2.0]
      ours = best_time (@() resize_image (X, factor, method{1}), 3, 5);
      one = one_thread_time (@() resize_image (X, factor, method{1}), 3, 5);
      peer = best_time (@() imresize (X, factor, method{1}), 1, 3);
      row ("resize_image (Octave)", sprintf ("default threads vs imresize %s, 1920x1080 x %.2f", method{1}, factor),
           sprintf ("%.2f ms", 1e3 * ours), sprintf ("%.1f ms", 1e3 * peer), peer / ours);
      row ("resize_image (Octave)", sprintf ("%s, default threads vs 1 thread, 1920x1080 x %.2f", method{1}, factor),
           sprintf ("%.2f ms", 1e3 * ours), sprintf ("%.2f ms", 1e3 * one), one / ours);
    end
  end
  for factor = [0.5 2.0]
    ours = best_time (@() resize_image (RGB, factor), 1, 5);
    peer = best_time (@() imresize (RGB, factor), 1, 2);
    row ("resize_image (Octave)", sprintf ("colour, default threads vs imresize bicubic, 1920x1080x3 x %.2f", factor),
         sprintf ("%.2f ms", 1e3 * ours), sprintf ("%.1f ms", 1e3 * peer), peer / ours);
  end
else
  printf ("| resize_image (Octave) | imresize not available (octave-image) | | | |\n");
end

% Tiny inputs: what one call costs, mostly the host boundary.
calls = 2000;
tiny_rgb = uint8 (reshape (1:3, 1, 1, 3));
tiny_gray = uint8 ([1 2; 3 4]);
ours = best_time (@() luma_u8 (tiny_rgb), calls, 5);
peer = best_time (@() rgb2gray (tiny_rgb), calls, 5);
row ("luma_u8 (Octave)", "per-call overhead, 1x1x3 input", sprintf ("%.2f us", 1e6 * ours),
     sprintf ("%.2f us (rgb2gray)", 1e6 * peer), peer / ours);
ours = best_time (@() scale_bilinear (tiny_gray, [2 2]), calls, 5);
if have_image
  peer = best_time (@() imresize (tiny_gray, [2 2], "bilinear"), calls / 10, 3);
  row ("scale_bilinear (Octave)", "per-call overhead, 2x2 to 2x2", sprintf ("%.2f us", 1e6 * ours),
       sprintf ("%.2f us (imresize)", 1e6 * peer), peer / ours);
end
options = struct ("nbite", 1, "seed", 1);
ours = best_time (@() linsvm_fit (1, 1, options), calls, 5);
% An empty anonymous function call: the interpreter's own cost of a call.
peer = best_time (@() [], calls, 5);
row ("linsvm_fit (Octave)", "per-call overhead, d=1 N=1, 1 step", sprintf ("%.2f us", 1e6 * ours),
     sprintf ("%.2f us (empty function)", 1e6 * peer), peer / ours);

% The MEX modules against the last release's (MEX modules too): the same
% calls, in turns.
if (have_release)
  X = randn (1024, 2000);
  y = sign (randn (1, 2000));
  [ours, release] = paired_best_time (@() linsvm_fit_mex (X, y, "seed", 1), @() linsvm_fit_release (X, y, "seed", 1), 200, 7);
  row ("linsvm_fit (Octave)", "default call (100 steps), d=1024 N=2000, MEX module vs the last release",
       sprintf ("%.2f us", 1e6 * ours), sprintf ("%.2f us", 1e6 * release), release / ours);
  X = randn (128, 20000);
  y = sign (randn (1, 20000));
  [ours, release] = paired_best_time (@() linsvm_fit_mex (X, y, "seed", 1, "nbite", 200000), ...
                                      @() linsvm_fit_release (X, y, "seed", 1, "nbite", 200000), 1, 7);
  row ("linsvm_fit (Octave)", "200000 steps, d=128 N=20000, MEX module vs the last release (the interrupt checks)",
       sprintf ("%.2f ms", 1e3 * ours), sprintf ("%.2f ms", 1e3 * release), release / ours);
  [ours, release] = paired_best_time (@() linsvm_fit_mex (1, 1, options), @() linsvm_fit_release (1, 1, options), calls, 7);
  row ("linsvm_fit (Octave)", "per-call overhead, d=1 N=1, 1 step, MEX module vs the last release",
       sprintf ("%.2f us", 1e6 * ours), sprintf ("%.2f us", 1e6 * release), release / ours);
  [ours, release] = paired_best_time (@() luma_u8_mex (tiny_rgb), @() luma_u8_release (tiny_rgb), calls, 7);
  row ("luma_u8 (Octave)", "per-call overhead, 1x1x3 input, MEX module vs the last release",
       sprintf ("%.2f us", 1e6 * ours), sprintf ("%.2f us", 1e6 * release), release / ours);
  [ours, release] = paired_best_time (@() scale_bilinear_mex (tiny_gray, [2 2]), @() scale_bilinear_release (tiny_gray, [2 2]), ...
                                      calls, 7);
  row ("scale_bilinear (Octave)", "per-call overhead, 2x2 to 2x2, MEX module vs the last release",
       sprintf ("%.2f us", 1e6 * ours), sprintf ("%.2f us", 1e6 * release), release / ours);
end

% The oct-files against the MEX modules of the same sources and against
% their kernels alone, on default threads. The target for an image call is
% its kernel's time x 1.5 + 0.4 ms (ratio >= 1 when met).
function native_rows (kernel_name, case_text, native, mex, kernel_seconds)
  row (kernel_name, ["oct-file vs MEX module, " case_text], sprintf ("%.2f ms", 1e3 * native),
       sprintf ("%.2f ms", 1e3 * mex), mex / native);
  if (! isnan (kernel_seconds))
    row (kernel_name, ["oct-file vs its kernel alone x 1.5 + 0.4 ms, " case_text], sprintf ("%.2f ms", 1e3 * native),
         sprintf ("%.2f ms (kernel %.2f ms)", 1e3 * (1.5 * kernel_seconds + 4e-4), 1e3 * kernel_seconds),
         (1.5 * kernel_seconds + 4e-4) / native);
  end
end

if (have_kernel_times)
  for size_ = [1080 1920; 2160 3840]'
    rgb = uint8 (255 * rand (size_(1), size_(2), 3));
    [native, mex] = paired_best_time (@() luma_u8 (rgb), @() luma_u8_mex (rgb), 5, 7);
    tag = sprintf ("%dx%d", size_(2), size_(1));
    native_rows ("luma_u8 (Octave)", tag, native, mex, kernel.(["luma_" tag]));
  end
  X = uint8 (255 * rand (1080, 1920));
  for factor = [0.5 1.25 2.0]
    out = round ([1080 1920] * factor);
    [native, mex] = paired_best_time (@() scale_bilinear (X, out), @() scale_bilinear_mex (X, out), 5, 7);
    native_rows ("scale_bilinear (Octave)", sprintf ("1920x1080 x %.2f", factor), native, mex, ...
                 kernel.(strrep (sprintf ("scale_%.2f", factor), ".", "_")));
  end
  X = randn (1024, 20000);
  y = sign (randn (1, 20000));
  [native, mex] = paired_best_time (@() linsvm_fit (X, y, "seed", 1), @() linsvm_fit_mex (X, y, "seed", 1), 200, 7);
  row ("linsvm_fit (Octave)", "oct-file vs MEX module, default call (100 steps), d=1024 N=20000",
       sprintf ("%.1f us", 1e6 * native), sprintf ("%.1f us", 1e6 * mex), mex / native);
  row ("linsvm_fit (Octave)", "oct-file vs its kernel alone, default call (100 steps), d=1024 N=20000",
       sprintf ("%.1f us", 1e6 * native), sprintf ("%.1f us", 1e6 * kernel.fit_1024), kernel.fit_1024 / native);
end
