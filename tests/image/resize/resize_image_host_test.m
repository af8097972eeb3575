% Host tests of resize_image: run by tests/host/run_octave_test.m with the
% built modules on the path (this folder too, for peer_resize).

%!shared X, methods, classes
%! X = uint8 ([10 20; 30 40]);
%! methods = {"nearest", "bilinear", "bicubic", "box", "triangle", "lanczos2", "lanczos3"};
%! classes = {"uint8", "uint16", "int16", "int8", "int32", "uint32", "single", "double", "logical"};

## Worked examples, to the pixel
%!assert (resize_image (X, 2, "bilinear"), uint8 ([10 13 18 20; 15 18 23 25; 25 28 33 35; 30 33 38 40]))
%!assert (resize_image (X, 2, "nearest"), uint8 (kron ([10 20; 30 40], ones (2))))
%!assert (resize_image (uint8 ([1 2 3 4; 5 6 7 8; 9 10 11 12; 13 14 15 16]), 0.5, "box"), uint8 ([4 6; 12 14]))
%!assert (resize_image (uint8 ([0 2]), [1 4], "bilinear"), uint8 ([0 1 2 2]))
%!assert (resize_image (int16 ([0 -2]), [1 4], "bilinear"), int16 ([0 -1 -2 -2]))
%!assert (resize_image ([0 1], [1 4], "bilinear"), [0 0.25 0.75 1])
%!assert (resize_image (logical ([0 1]), [1 4], "bilinear"), logical ([0 0 1 1]))
%!assert (resize_image (logical ([0 1 1 0]), [1 2], "box"), logical ([0 0]))

## Every class and method: class and shape kept, scale 1 is the identity,
## constants stay constant, single is the double result rounded, integer
## classes the double result rounded and saturated.
%!test
%! A = reshape (mod ((1:7 * 9 * 3) * 37, 251), 7, 9, 3);
%! for m = 1:numel (methods)
%!   D = resize_image (A, [11 5], methods{m});
%!   for c = 1:numel (classes)
%!     B = cast (A, classes{c});
%!     if (strcmp (classes{c}, "logical"))
%!       B = A > 125;
%!     end
%!     Y = resize_image (B, [11 5], methods{m});
%!     assert (class (Y), classes{c});
%!     assert (size (Y), [11 5 3]);
%!     assert (isreal (Y) && ! issparse (Y));
%!     assert (resize_image (B, 1, methods{m}), B);
%!     assert (resize_image (B, [7 9], methods{m}), B);
%!     C = repmat (B(1), 6, 4);
%!     ## Exact in the integer classes; within rounding of the weights' sum in the floating ones.
%!     assert (resize_image (C, [13 3], methods{m}), repmat (B(1), 13, 3), 8 * eps (double (B(1))) * isfloat (B));
%!   end
%!   assert (resize_image (single (A), [11 5], methods{m}), single (D));
%!   assert (resize_image (uint8 (A), [11 5], methods{m}), uint8 (D));
%!   assert (resize_image (int16 (A - 125), [11 5], methods{m}), int16 (resize_image (A - 125, [11 5], methods{m})));
%!   assert (resize_image (int8 (A - 125), [11 5], methods{m}), int8 (resize_image (A - 125, [11 5], methods{m})));
%!   ## The 32-bit classes at the ends of their ranges, rounded and saturated as int32 () and uint32 () do.
%!   W = (A - 125) * 1.7e7 + 0.5;
%!   assert (resize_image (int32 (W), [11 5], methods{m}), int32 (resize_image (double (int32 (W)), [11 5], methods{m})));
%!   W = A * 1.7e7 + 0.5;
%!   assert (resize_image (uint32 (W), [11 5], methods{m}), uint32 (resize_image (double (uint32 (W)), [11 5], methods{m})));
%!   assert (resize_image (A > 125, [11 5], methods{m}), resize_image (double (A > 125), [11 5], methods{m}) > 0.5);
%!   for p = 1:3
%!     assert (D(:, :, p), resize_image (A(:, :, p), [11 5], methods{m}));
%!   end
%! end

## nearest takes floor ((o + 0.5) / scale), 0-based, in each dimension
%!test
%! A = reshape (1:30, 5, 6);
%! for s = {0.5, 0.3, 1.25, 2, 3.7, [3 8], [9 NaN]}
%!   Y = resize_image (A, s{1}, "nearest");
%!   if (numel (s{1}) == 1)
%!     sy = s{1}; sx = s{1};
%!   elseif (isnan (s{1}(2)))
%!     sy = s{1}(1) / 5; sx = sy;
%!   else
%!     sy = s{1}(1) / 5; sx = s{1}(2) / 6;
%!   end
%!   r = min (floor (((0:rows (Y) - 1) + 0.5) / sy), 4) + 1;
%!   c = min (floor (((0:columns (Y) - 1) + 0.5) / sx), 5) + 1;
%!   assert (Y, A(r, c));
%! end

## The size argument and the options
%!test
%! A = uint8 (mod ((1:40)' * (1:30), 251));
%! assert (size (resize_image (A, 0.5)), [20 15]);
%! assert (size (resize_image (A, 0.33)), [14 10]);
%! assert (size (resize_image (A, [15 NaN])), [15 12]);
%! assert (size (resize_image (A, [NaN 12])), [16 12]);
%! assert (resize_image (A, [15 NaN]), resize_image (A, 15 / 40));
%! assert (size (resize_image (A, [0 7])), [0 7]);
%! assert (size (resize_image (cat (3, A, A), [5 0])), [5 0 2]);
%! assert (resize_image (A, int32 ([20 15])), resize_image (A, [20 15]));
%! assert (resize_image (A, single (0.5)), resize_image (A, 0.5));
%! assert (resize_image (A, [20; 15]), resize_image (A, [20 15]));
%! assert (resize_image (A, "OutputSize", [20 15]), resize_image (A, [20 15]));
%! assert (resize_image (A, "bilinear", "OutputSize", [20 15]), resize_image (A, [20 15], "bilinear"));
%! assert (resize_image (A, 0.5), resize_image (A, 0.5, "bicubic", "Antialiasing", true));
%! assert (resize_image (A, 0.5, "BiLinear"), resize_image (A, 0.5, "method", "bilinear"));
%! assert (resize_image (A, 0.5, "box", "METHOD", "lanczos2"), resize_image (A, 0.5, "lanczos2"));
%! for k = 1:numel (methods)
%!   assert (resize_image (A, 0.5, upper (methods{k})), resize_image (A, 0.5, methods{k}));
%! end
%! assert (resize_image (A, 0.5, "Antialiasing", 0), resize_image (A, 0.5, "antialiasing", false));
%! assert (resize_image (A, 0.5, "Antialiasing", int8 (1)), resize_image (A, 0.5));
%! assert (resize_image (A, 0.5, "Antialiasing", true, "Antialiasing", false), resize_image (A, 0.5, "Antialiasing", false));
%! ## bilinear, triangle and linear are one kernel, bicubic and cubic another;
%! ## antialiasing matters only when shrinking, and is off for nearest unless asked.
%! assert (resize_image (A, 0.4, "triangle"), resize_image (A, 0.4, "bilinear"));
%! assert (resize_image (A, 0.4, "Linear"), resize_image (A, 0.4, "bilinear"));
%! assert (resize_image (A, 1.6, "method", "CUBIC"), resize_image (A, 1.6, "bicubic"));
%! assert (resize_image (A, 2.5, "Antialiasing", false), resize_image (A, 2.5));
%! assert (! isequal (resize_image (A, 0.4, "Antialiasing", false), resize_image (A, 0.4)));
%! assert (resize_image (A, 0.4, "nearest"), resize_image (A, 0.4, "nearest", "Antialiasing", false));
%! assert (resize_image (A, 0.4, "nearest", "Antialiasing", true), resize_image (A, 0.4, "box"));
%! assert (resize_image (A, 2.5, "nearest", "Antialiasing", true), resize_image (A, 2.5, "nearest"));
%! ## Antialiased nearest halving takes each 2 x 2 block's mean.
%! B = double (A(1:20, 1:14));
%! mean2x2 = (B(1:2:end, 1:2:end) + B(2:2:end, 1:2:end) + B(1:2:end, 2:2:end) + B(2:2:end, 2:2:end)) / 4;
%! assert (resize_image (B, 0.5, "nearest", "Antialiasing", true), mean2x2, 1e-12);
%! ## Scale, a factor or [sr sc], in any order with the other pairs.
%! assert (resize_image (A, "Scale", 0.5), resize_image (A, 0.5));
%! assert (resize_image (A, "Method", "box", "scale", 1.5), resize_image (A, 1.5, "box"));
%! assert (resize_image (A, "Scale", int8 ([2 3]), "Antialiasing", false), resize_image (A, [80 90], "Antialiasing", false));
%! assert (size (resize_image (A, "Scale", [0.5 1.25])), [20 38]);

## NaN and infinities in floating images: every NaN is Octave's NaN
%!test
%! A = magic (6);
%! A(3, 4) = NaN;
%! A(1, 1) = Inf;
%! ## bilinear weights are positive: a NaN spreads to its neighbours only, Inf stays Inf.
%! Y = resize_image (A, 2, "bilinear");
%! assert (isnan (Y(5, 7)) && isnan (Y(6, 8)));
%! assert (nnz (isnan (Y)), 16);
%! assert (Y(1, 1), Inf);
%! ## Under a negative lobe, Inf gives -Inf.
%! assert (resize_image (A, 2, "bicubic")(4, 1), -Inf);
%! assert (resize_image (single (A), 1), single (A));

## Errors: identifier and text, before any result is made
%!test
%! cases = {
%!   {},                                        "resize_image:invalidImage", "X must be a nonempty real array of class uint8, uint16, int16, int8, int32, uint32, single, double or logical"
%!   {int64(X), 2},                             "resize_image:invalidImage", "class uint8"
%!   {uint64(X), 2},                            "resize_image:invalidImage", "class uint8"
%!   {uint8([]), 2},                            "resize_image:invalidImage", "nonempty"
%!   {complex(X), 2},                           "resize_image:invalidImage", "real array"
%!   {sparse(logical([1 0])), 2},               "resize_image:invalidImage", "real array"
%!   {{X}, 2},                                  "resize_image:invalidImage", "real array"
%!   {X},                                       "resize_image:invalidSize",  "the scale factor or the size \\[ny nx\\] is missing"
%!   {X, "bicubic"},                            "resize_image:invalidSize",  "is missing"
%!   {X, 0},                                    "resize_image:invalidSize",  "the size must be a scale factor \\(finite and > 0\\) or \\[ny nx\\]"
%!   {X, -1},                                   "resize_image:invalidSize",  "finite and > 0"
%!   {X, Inf},                                  "resize_image:invalidSize",  "finite and > 0"
%!   {X, NaN},                                  "resize_image:invalidSize",  "finite and > 0"
%!   {X, [2.5 3]},                              "resize_image:invalidSize",  "whole numbers >= 0"
%!   {X, [-1 3]},                               "resize_image:invalidSize",  "whole numbers >= 0"
%!   {X, [NaN NaN]},                            "resize_image:invalidSize",  "one of them may be NaN"
%!   {X, [1 2 3]},                              "resize_image:invalidSize",  "\\[ny nx\\]"
%!   {X, gray(4), 2},                           "resize_image:indexedImage", "looks like a colour map: resize_image does not resize indexed images; convert with ind2rgb \\(X, map\\) first"
%!   {X, [0 0 0; 1 1 1]},                       "resize_image:indexedImage", "ind2rgb"
%!   {X, {2}},                                  "resize_image:invalidSize",  "as real numbers"
%!   {X, 2i},                                   "resize_image:invalidSize",  "as real numbers"
%!   {X, [2^31 1]},                             "resize_image:invalidSize",  "fewer than 2\\^31 rows and columns"
%!   {X, 2^31},                                 "resize_image:invalidSize",  "fewer than 2\\^31"
%!   {X, 1e-300},                               "resize_image:invalidSize",  "the scale is too small"
%!   {X, "OutputSize", 3},                      "resize_image:invalidSize",  "OutputSize must be \\[ny nx\\]"
%!   {X, 2, "bicubi"},                          "resize_image:invalidMethod", "unknown method 'bicubi': use nearest, bilinear, bicubic, box, triangle, lanczos2 or lanczos3"
%!   {X, 2, "cubics"},                          "resize_image:invalidMethod", "unknown method 'cubics'"
%!   {X, 2, "lanczos"},                         "resize_image:invalidMethod", "unknown method 'lanczos'"
%!   {X, 2, "LANCZOS"},                         "resize_image:invalidMethod", "unknown method 'lanczos'"
%!   {X, 2, "bicubic "},                        "resize_image:invalidMethod", "unknown method 'bicubic '"
%!   {X, 2, ""},                                "resize_image:invalidMethod", "unknown method '': use"
%!   {X, 2, 3, "Method", "box"},                "resize_image:invalidMethod", "the method must be text"
%!   {X, 2, "Method", "lineal"},                "resize_image:invalidMethod", "unknown method 'lineal'"
%!   {X, 2, "Antialias", false},                "resize_image:invalidOption", "unknown option 'antialias': the options are 'Scale', 'OutputSize', 'Method' and 'Antialiasing'"
%!   {X, 2, ["Antialiasing", repmat("_", 1, 40)], false}, "resize_image:invalidOption", "unknown option 'antialiasing________________\\.\\.\\.': the options"
%!   {X, 2, ["Lanczos3", repmat("x", 1, 40)]},  "resize_image:invalidMethod", "unknown method 'lanczos3xxxxxxxxxxxxxxxxxxxx\\.\\.\\.'"
%!   {X, 2, 5, false},                          "resize_image:invalidOption", "options are given as name/value pairs"
%!   {X, 2, "Antialiasing", 2},                 "resize_image:invalidOption", "Antialiasing must be true or false"
%!   {X, 2, "Antialiasing", [true true]},       "resize_image:invalidOption", "Antialiasing must be true or false"
%!   {X, 2, "Antialiasing", "on"},              "resize_image:invalidOption", "Antialiasing must be true or false"
%!   {X, 2, "OutputSize", [3 3]},               "resize_image:invalidOption", "the size is given twice"
%!   {X, 2, "Scale", 2},                        "resize_image:invalidOption", "the size is given twice"
%!   {X, "Scale", 2, "OutputSize", [3 3]},      "resize_image:invalidOption", "the size is given twice"
%!   {X, "Scale", [1 2 3]},                     "resize_image:invalidSize",  "Scale must be a scale factor or \\[sr sc\\] \\(finite and > 0\\)"
%!   {X, "Scale", [2 0]},                       "resize_image:invalidSize",  "Scale must be a scale factor or \\[sr sc\\]"
%!   {X, "Scale", [NaN 2]},                     "resize_image:invalidSize",  "Scale must be"
%!   {X, "Scale", "2"},                         "resize_image:invalidSize",  "Scale must be"
%!   {X, "Scale", -2},                          "resize_image:invalidSize",  "finite and > 0"
%!   {X, 2, "bicubic", "Method"},               "resize_image:invalidOption", "'bicubic' stands where an option name belongs"
%!   {X, 2, "Method", "box", "Antialiasing"},   "resize_image:invalidMethod", "unknown method 'method'"
%! };
%! for k = 1:rows (cases)
%!   try
%!     resize_image (cases{k, 1}{:});
%!     error ("test:noError", "case %d raised no error", k);
%!   catch err
%!     assert (err.identifier, cases{k, 2}, sprintf ("case %d: %s", k, err.message));
%!     assert (! isempty (regexp (err.message, cases{k, 3}, "once")), sprintf ("case %d: %s", k, err.message));
%!   end
%! end

## Threads: every setting of MEX_KERNELS_THREADS gives the same bytes
%!test
%! I = reshape (uint8 (mod ((1:700 * 600) * 7919, 251)), 700, 600);
%! F = single (I) / 255;
%! saved = getenv ("MEX_KERNELS_THREADS");
%! unwind_protect
%!   setenv ("MEX_KERNELS_THREADS", "1");
%!   one = {resize_image(I, [1200 1000]), resize_image(I, 0.7, "lanczos3"), resize_image(F, [900 NaN], "box")};
%!   for threads = {"2", "3", "16", ""}
%!     setenv ("MEX_KERNELS_THREADS", threads{1});
%!     assert ({resize_image(I, [1200 1000]), resize_image(I, 0.7, "lanczos3"), resize_image(F, [900 NaN], "box")}, one);
%!   end
%! unwind_protect_cleanup
%!   setenv ("MEX_KERNELS_THREADS", saved);
%! end_unwind_protect

## Help
%!test
%! text = evalc ("help resize_image");
%! assert (! isempty (strfind (text, "Resize an image as imresize does")));
%! assert (! isempty (strfind (text, "resize_image:invalidOption")));

## Octave's imresize (image package) where both define the same arithmetic:
## nearest at every scale, bilinear and bicubic when enlarging and at integer
## shrinking factors (Octave's imresize neither normalises nor fully covers a
## widened kernel at other factors; doc/resize_image.md).
%!test
%! if (isempty (pkg ("list", "image")))
%!   printf ("skipped: Octave's image package is not installed (imresize)\n");
%!   return;
%! end
%! pkg load image
%! rand ("seed", 5);
%! A = 255 * rand (23, 31);
%! for m = {"nearest", "bilinear", "bicubic"}
%!   for s = {0.5, 1/3, 1.25, 2, 3, [46 62]}
%!     assert (resize_image (A, s{1}, m{1}), imresize (A, s{1}, m{1}), 1e-9);
%!   end
%! end
%! for s = {0.3, 0.8, [7 NaN], [10 4]}
%!   assert (resize_image (A, s{1}, "nearest"), imresize (A, s{1}, "nearest"));
%! end
%! ## The integer classes imresize resizes in their own class: nearest the
%! ## same pixels, enlarging within one level (a half may round either way).
%! for c = {"int8", "int32", "uint32", "uint16"}
%!   B = cast (A * (1 + 1e7 * ! strcmp (c{1}, "int8")) - 100 * strcmp (c{1}, "int8"), c{1});
%!   for s = {0.5, 1/3, 1.25, 2}
%!     assert (resize_image (B, s{1}, "nearest"), imresize (B, s{1}, "nearest"));
%!   end
%!   for m = {"bilinear", "bicubic"}
%!     Y = resize_image (B, 2, m{1});
%!     assert (class (Y), c{1});
%!     assert (double (Y), double (imresize (B, 2, m{1})), 1);
%!   end
%! end

## Pillow and OpenCV on a small unsaturated image: at most one level apart
## inside the image where the definitions agree (Pillow rounds its 8-bit
## intermediate and, like OpenCV, does not reflect at the edges); nearest
## identical where no mapped centre falls on a pixel edge.
%!test
%! [c, r] = meshgrid (0:47, 0:35);
%! A = uint8 (round (127.5 + 90 * sin (0.09 * (r + 2 * c)) .* cos (0.07 * (c - r)) + mod (r * 7 + c * 13, 17) - 8));
%! jobs = {"pillow", "bilinear", 18, 24; "pillow", "bicubic", 18, 24; "pillow", "box", 18, 24; ...
%!         "pillow", "lanczos3", 18, 24; "pillow", "nearest", 18, 24; "pillow", "bilinear", 72, 96; ...
%!         "pillow", "bicubic", 72, 96; "pillow", "lanczos3", 72, 96; "pillow", "nearest", 72, 96; ...
%!         "opencv", "linear", 72, 96; "opencv", "area", 18, 24; "opencv", "nearest_exact", 72, 96; ...
%!         "opencv", "linear", 18, 24};
%! ours = {resize_image(A, 0.5, "bilinear"), resize_image(A, 0.5, "bicubic"), resize_image(A, 0.5, "box"), ...
%!         resize_image(A, 0.5, "lanczos3"), resize_image(A, 0.5, "nearest"), resize_image(A, 2, "bilinear"), ...
%!         resize_image(A, 2, "bicubic"), resize_image(A, 2, "lanczos3"), resize_image(A, 2, "nearest"), ...
%!         resize_image(A, 2, "bilinear"), resize_image(A, 0.5, "box"), resize_image(A, 2, "nearest"), ...
%!         resize_image(A, 0.5, "bilinear", "Antialiasing", false)};
%! ## Interior margins, in output pixels: the kernel's reach at the edge.
%! margin = [2 3 0 4 0 1 2 4 0 0 0 0 0];
%! exact = [0 0 0 0 1 0 0 0 1 0 0 1 0];
%! [R, missing] = peer_resize (A, jobs);
%! if (! isempty (missing))
%!   printf ("skipped for %s: not installed (python3-pil, python3-opencv)\n", missing);
%! end
%! for k = 1:rows (jobs)
%!   if (isempty (R{k}))
%!     continue;
%!   end
%!   d = abs (double (ours{k}) - double (R{k}));
%!   d = d(1 + margin(k):end - margin(k), 1 + margin(k):end - margin(k));
%!   assert (max (d(:)) <= 1 - exact(k), sprintf ("%s %s %dx%d: %d levels apart", jobs{k, :}, max (d(:))));
%! end
