% RESIZE_IMAGE  Resize an image as imresize does: pixel centres aligned,
% antialiased when shrinking, rounded.
%
%   Y = resize_image(X, scale)
%   Y = resize_image(X, [ny nx])
%   Y = resize_image(X, [ny NaN])      (or [NaN nx]: keep the aspect ratio)
%   Y = resize_image(X, ..., method)
%   Y = resize_image(X, ..., 'Name', value, ...)
%   Y = resize_image(X, 'Scale', [sr sc], ...)
%
%   X is an Ny x Nx array of class uint8, uint16, int16, int8, int32,
%   uint32, single, double or logical; Y has the class of X. Further dimensions (Ny x Nx x 3 for
%   colour) are planes, each resized on its own.
%
%   The output size:
%     scale     a factor, finite and > 0: ny = ceil(scale * Ny), nx =
%               ceil(scale * Nx); both dimensions use the factor itself.
%     [ny nx]   whole numbers >= 0 (0 gives an empty result of that shape);
%               the scale of each dimension is then ny / Ny and nx / Nx.
%     [ny NaN]  the scale ny / Ny for both dimensions and nx = ceil(Nx *
%               ny / Ny) (imresize's rule); [NaN nx] alike.
%   Sizes of any real numeric class are read as doubles; each output
%   dimension must be below 2^31.
%
%   Methods (case-insensitive), the kernel evaluated at the distance x in
%   input pixels:
%     'nearest'              the pixel under the mapped centre (the box
%                            widened, when antialiasing is asked for)
%     'bilinear', 'triangle' 1 - |x| for |x| < 1 ('linear' too)
%     'bicubic' (default)    cubic convolution, a = -0.5 (as imresize;
%                            'cubic' too)
%     'box'                  1 for -0.5 <= x < 0.5
%     'lanczos2', 'lanczos3' sinc(x) sinc(x/a) for |x| < a
%
%   Options (name/value, names case-insensitive):
%     'Scale'         a factor as above, or [sr sc]: ny = ceil(sr * Ny),
%                     nx = ceil(sc * Nx), each dimension with its own
%                     factor; instead of the second argument
%     'OutputSize'    [ny nx] as above, instead of the second argument
%     'Method'        one of the methods above (overrides a positional one)
%     'Antialiasing'  true or false: when a dimension shrinks (scale < 1),
%                     its kernel is widened by 1 / scale, as imresize does;
%                     true by default but for 'nearest', which is then the
%                     box widened (halving takes each 2 x 2 block's mean)
%
%   The arithmetic, the same on every processor variant and thread count:
%   - Output pixel o of a dimension (counting from 0) has its centre at
%     u = (o + 0.5) / scale - 0.5 input pixels. Every input pixel i from
%     floor(u - s) to ceil(u + s), where s is the kernel's reach (1, 2, 0.5,
%     2, 3 for bilinear, bicubic, box, lanczos2, lanczos3, divided by the
%     scale when antialiasing), gets the kernel's value at u - i (at
%     (u - i) * scale when antialiasing); the weights are those values
%     divided by their sum, computed in double once per output row and
%     column. Pixels beyond an edge are reflected back into the image
%     (-1 is 0, N is N - 1), as imresize does. Taps of weight 0 are not read.
%   - 'nearest' takes input pixel floor((o + 0.5) / scale), at most N - 1;
%     antialiased when shrinking, it is 'box'.
%   - A dimension of the same size and scale 1 takes each pixel with weight
%     1: resize_image(X, 1) is X for every method.
%   - Rows are resized first (down each column), into doubles that are not
%     rounded, then columns; each sum runs over the taps in order of input
%     index, every operation rounded to double as written.
%   - The result: uint8, uint16, int16, int8, int32, uint32 rounded to
%     nearest (halves away from zero) and saturated; single rounded to nearest; double as computed;
%     logical read as 0 and 1 and true where the result exceeds 0.5. Every
%     NaN becomes Octave's NaN. A constant image stays that constant in the
%     integer classes and logical; in single and double it may move by a
%     few units in the last place, as the weights sum to 1 within rounding.
%   The Lanczos weights use the C library's sin: the only step whose last
%   bit may differ between systems.
%
%   Compared with scale_bilinear: scale_bilinear maps corners onto corners,
%   truncates and never antialiases (its documented, fast result);
%   resize_image follows imresize, Pillow and OpenCV (README.md).
%
%   Large outputs are split across the processor's cores; the result is the
%   same at every thread count. MEX_KERNELS_THREADS sets the number of
%   threads (as for scale_bilinear).
%
%   Errors (identifier: what is wrong), raised before any output is made:
%     resize_image:invalidImage   X missing, empty, complex, sparse or of
%                                 another class
%     resize_image:invalidSize    the size or scale missing, not real
%                                 numbers, more than two elements, a factor
%                                 <= 0 or not finite, a size negative, not
%                                 whole or [NaN NaN], 2^31 rows or columns
%                                 or more, the size given as OutputSize not
%                                 [ny nx] or as Scale not a factor or
%                                 [sr sc] (finite and > 0), or a scale so small that an
%                                 output pixel would reach more than 2^24
%                                 input pixels to each side (antialiasing
%                                 widens the kernel by 1 / scale) or past
%                                 the image (the last of ceil(scale * N)
%                                 pixels maps up to 0.5 / scale past it)
%     resize_image:indexedImage   a colour map (k x 3 doubles, k >= 2) as
%                                 the second argument: indexed images are
%                                 not resized; convert with ind2rgb first
%     resize_image:invalidMethod  a method that is not text or not one of
%                                 the methods above
%     resize_image:invalidOption  an option name that is not text or not
%                                 Scale, OutputSize, Method or Antialiasing;
%                                 a name
%                                 without a value; Antialiasing not a
%                                 scalar 0 or 1 (true or false); the size
%                                 given twice (as an argument, Scale or
%                                 OutputSize)
%     resize_image:outOfMemory    out of memory for the result or for the
%                                 working memory
%
%   Example:
%     X = uint8([10 20; 30 40]);
%     resize_image(X, 2, 'bilinear')
%     % ans = [10 13 18 20; 15 18 23 25; 25 28 33 35; 30 33 38 40]
%     resize_image(uint8([1 2 3 4; 5 6 7 8; 9 10 11 12; 13 14 15 16]), 0.5, 'box')
%     % ans = [4 6; 12 14]   (the mean of each 2 x 2 block, halves rounded up)
%     size(resize_image(zeros(1080, 1920, 3, 'uint8'), [540 NaN]))
%     % ans = 540 960 3
%
%   See also SCALE_BILINEAR, LUMA_U8.

% Self-tests of an installation, run in Octave by "test resize_image" or
% "pkg test linsvm_image": each checks behaviour documented above.

%!shared X
%! X = uint8 ([10 20; 30 40]);
%!assert (resize_image (X, 2, "bilinear"), uint8 ([10 13 18 20; 15 18 23 25; 25 28 33 35; 30 33 38 40]))
%!assert (resize_image (uint8 ([1 2 3 4; 5 6 7 8; 9 10 11 12; 13 14 15 16]), 0.5, "box"), uint8 ([4 6; 12 14]))
%!test
%! % Scale 1 returns X for every method and class.
%! A = magic (7);
%! for method = {"nearest", "bilinear", "bicubic", "box", "triangle", "lanczos2", "lanczos3"}
%!   for c = {"uint8", "uint16", "int16", "single", "double"}
%!     assert (resize_image (cast (A, c{1}), 1, method{1}), cast (A, c{1}));
%!   end
%!   assert (resize_image (A > 20, [7 7], method{1}), A > 20);
%! end
%!test
%! % A constant image stays constant; colour is resized plane by plane.
%! for method = {"nearest", "bilinear", "bicubic", "box", "lanczos3"}
%!   assert (resize_image (repmat (uint8 (77), 5, 6), [9 4], method{1}), repmat (uint8 (77), 9, 4));
%! end
%! RGB = cat (3, X, 255 - X, X);
%! Y = resize_image (RGB, [5 3]);
%! assert (size (Y), [5 3 3]);
%! assert (Y(:, :, 2), resize_image (RGB(:, :, 2), [5 3]));
%!test
%! % nearest takes floor((o + 0.5) / scale) in each dimension.
%! A = reshape (uint8 (1:20), 4, 5);
%! assert (resize_image (A, [2 2], "nearest"), A([2 4], [2 4]));
%! assert (resize_image (A, 2, "nearest"), A(floor (((0:7) + 0.5) / 2) + 1, floor (((0:9) + 0.5) / 2) + 1));
%!test
%! % Options by name; antialiasing off takes fewer pixels when shrinking.
%! A = uint8 (mod ((1:64)' * (1:64), 251));
%! assert (resize_image (A, 0.5), resize_image (A, 0.5, "Method", "bicubic", "Antialiasing", true));
%! assert (resize_image (A, "OutputSize", [32 32], "method", "LANCZOS3"), resize_image (A, 0.5, "lanczos3"));
%! assert (any (any (resize_image (A, 0.5, "Antialiasing", false) != resize_image (A, 0.5))));
%! assert (size (resize_image (A, [20 NaN])), [20 20]);
%! assert (class (resize_image (single (A), 0.3)), "single");
%! assert (size (resize_image (A, [0 5])), [0 5]);
%!test
%! % Integer results are rounded and saturated.
%! assert (resize_image (uint8 ([0 2]), [1 4], "bilinear"), uint8 ([0 1 2 2]));
%! assert (resize_image (int16 ([0 -2]), [1 4], "bilinear"), int16 ([0 -1 -2 -2]));
%! A = uint8 ([0 0 255 255 0 0]);
%! D = resize_image (double (A), [1 12], "lanczos3");
%! assert (max (D) > 255 && min (D) < 0);
%! assert (resize_image (A, [1 12], "lanczos3"), uint8 (D));
%!test
%! % A large output is split across threads: the same bytes on one thread.
%! I = reshape (uint8 (mod ((1:600 * 500) * 7919, 251)), 600, 500);
%! saved = getenv ("MEX_KERNELS_THREADS");
%! unwind_protect
%!   setenv ("MEX_KERNELS_THREADS", "1");
%!   one = resize_image (I, [1100 900]);
%!   setenv ("MEX_KERNELS_THREADS", "3");
%!   three = resize_image (I, [1100 900]);
%! unwind_protect_cleanup
%!   setenv ("MEX_KERNELS_THREADS", saved);
%! end_unwind_protect
%! assert (three, one);
%!error id=resize_image:invalidImage resize_image ()
%!error id=resize_image:invalidImage resize_image (int64 (X), 2)
%!error <ind2rgb> resize_image (X, gray (4), 2)
%!error id=resize_image:invalidImage resize_image (uint8 ([]), 2)
%!error id=resize_image:invalidSize resize_image (X)
%!error id=resize_image:invalidSize resize_image (X, 0)
%!error id=resize_image:invalidSize resize_image (X, [2.5 3])
%!error id=resize_image:invalidSize resize_image (X, [NaN NaN])
%!error id=resize_image:invalidSize resize_image (X, [1 2 3])
%!error <unknown method 'bicubi'> resize_image (X, 2, "bicubi")
%!error id=resize_image:invalidMethod resize_image (X, 2, "Method", 3)
%!error <unknown option 'antialias'> resize_image (X, 2, "Antialias", false)
%!error id=resize_image:invalidOption resize_image (X, 2, "Antialiasing", 2)
%!error id=resize_image:invalidOption resize_image (X, 2, "OutputSize", [3 3])
%!error id=resize_image:invalidOption resize_image (X, 2, "bicubic", "Method")
