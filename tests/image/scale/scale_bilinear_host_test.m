% Host tests of scale_bilinear: run by tests/host/run_octave_test.m with the
% built modules on the path.

%!shared X, image_text, size_text, factor_text
%! X = uint8 ([0 50; 100 150]);
%! image_text = "X must be (Ny x Nx) in UINT8, UINT16, INT16, SINGLE or DOUBLE format";
%! size_text = "size must be [ny nx] with ny, nx >= 0 (one of them may be NaN) or a scale factor, as real numbers";
%! factor_text = "scale factor must be finite and > 0, and give fewer than 2^31 rows and columns";

## Worked examples, to the pixel
%!assert (scale_bilinear (X, [3 3]), uint8 ([0 24 49; 49 74 99; 99 124 149]))
%!assert (scale_bilinear (X, [1 4]), uint8 ([0 16 33 49]))
%!assert (scale_bilinear (X, [4 1]), uint8 ([0; 33; 66; 99]))
%!assert (scale_bilinear (uint8 ([0 0; 10 10; 20 20]), [3 2]), uint8 ([0 0; 9 9; 19 19]))
%!assert (scale_bilinear (uint8 ([30 30; 20 20; 10 10]), [3 2]), uint8 ([30 30; 20 20; 10 10]))
%!assert (scale_bilinear (uint8 ([0 30; 0 20; 0 10]), [3 2]), uint8 ([0 29; 0 19; 0 9]))
%!assert (scale_bilinear (repmat (uint8 (200), 4, 5), [4 5]), repmat (uint8 (200), 4, 5))
%!test
%! ## Loses one level only if multiply and add are not fused.
%! assert (scale_bilinear (repmat (uint8 (100), 2, 2), [7 1]), uint8 ([100 100 99 100 100 100 100]'));
%! assert (scale_bilinear (repmat (uint8 (100), 2, 2), [1 7]), uint8 ([100 100 99 100 100 100 100]));

## Result class and shape; the size argument
%!test
%! Y = scale_bilinear (X, [5 7]);
%! assert (class (Y), "uint8");
%! assert (size (Y), [5 7]);
%! assert (isreal (Y) && ! issparse (Y));
%!assert (size (scale_bilinear (X, [10.9 20.2])), [10 20])
%!assert (size (scale_bilinear (X, [10 20 3])), [10 20])
%!assert (size (scale_bilinear (X, [10; 20])), [10 20])
%!assert (size (scale_bilinear (X, [-0.9 2])), [0 2])
%!test
%! for shape = {[0 3], [4 0], [0 0]}
%!   Y = scale_bilinear (X, shape{1});
%!   assert (class (Y), "uint8");
%!   assert (size (Y), shape{1});
%! endfor

## Images of other shapes
%!test
%! ## Planes (colour images and beyond) are resampled one by one, the result
%! ## keeping the dimensions after the second.
%! RGB = uint8 (cat (3, repmat (10, 4, 4), repmat (100, 4, 4), repmat (200, 4, 4)));
%! assert (scale_bilinear (RGB, [2 4]), uint8 (cat (3, repmat (10, 2, 4), repmat (100, 2, 4), repmat (200, 2, 4))));
%! A = uint8 (reshape (mod ((1:7*6*3*2) * 37, 256), 7, 6, 3, 2));
%! for shape = {[5 9], [1 1], [13 4]}
%!   Y = scale_bilinear (A, shape{1});
%!   assert (size (Y), [shape{1} 3 2]);
%!   for p = 1:3
%!     for q = 1:2
%!       assert (Y(:, :, p, q), scale_bilinear (A(:, :, p, q), shape{1}));
%!     endfor
%!   endfor
%! endfor
%! assert (size (scale_bilinear (A, [0 4])), [0 4 3 2]);
%! assert (size (scale_bilinear (uint8 (ones (3, 4, 1, 5)), [2 2])), [2 2 1 5]);

## Threads: every setting of MEX_KERNELS_THREADS gives the same bytes, on an
## image large enough to be split.
%!test
%! A = uint8 (reshape (mod ((1:300*400*3) * 7919, 256), 300, 400, 3));
%! same_at_every_thread_setting (@() scale_bilinear (A, [600 1000]));
%! Y = scale_bilinear (A, [600 1000]);
%! for p = 1:3
%!   assert (Y(:, :, p), scale_bilinear (A(:, :, p), [600 1000]));
%! endfor
%!assert (scale_bilinear (uint8 ([10 20 30]), [3 5]), repmat (uint8 ([10 14 19 24 29]), 3, 1))
%!assert (scale_bilinear (uint8 ([10; 20; 30]), [5 3]), repmat (uint8 ([10; 14; 19; 24; 29]), 1, 3))
%!assert (scale_bilinear (uint8 (77), [3 4]), repmat (uint8 (77), 3, 4))
%!test
%! ## The last of 100000 positions passes row 9: it still reads row 9 only.
%! Y = scale_bilinear (uint8 ((0:9)' * 25), [100000 1]);
%! assert (Y([1 end]), uint8 ([0; 225]));
%! assert (all (diff (double (Y)) >= 0));
%!test
%! A = uint8 (magic (6));
%! copy = A;
%! scale_bilinear (A, [9 4]);
%! assert (A, copy);

## A scale factor: ceil (s * [Ny Nx]), each product in double
%!test
%! A = uint8 (reshape (mod ((1:45*80*2) * 7919, 256), 45, 80, 2));
%! for s = [0.5 0.8 1 1.25 2 1/3 0.01 1e-300]
%!   out = ceil (s * [45 80]);
%!   assert (scale_bilinear (A, s), scale_bilinear (A, out));
%! endfor
%! assert (size (scale_bilinear (zeros (1080, 1920, "uint8"), 0.5)), [540 960]);
%! assert (size (scale_bilinear (zeros (1080, 1920, "uint8"), 0.8)), [864 1536]);
%! assert (size (scale_bilinear (X, 1e-300)), [1 1]);
%!test
%! ## One size left to the aspect ratio: the product first, then the division.
%! A = uint8 (reshape (mod ((1:45*80) * 31, 256), 45, 80));
%! assert (scale_bilinear (A, [30 NaN]), scale_bilinear (A, [30 ceil(30 * 80 / 45)]));
%! assert (scale_bilinear (A, [NaN 50]), scale_bilinear (A, [ceil(50 * 45 / 80) 50]));
%! assert (size (scale_bilinear (zeros (1080, 1920, 3, "uint8"), [540 NaN])), [540 960 3]);
%! assert (size (scale_bilinear (A, [10.9 NaN])), [10 ceil(10 * 80 / 45)]);
%! assert (size (scale_bilinear (A, [NaN 0])), [0 0]);
%! assert (size (scale_bilinear (A, [NaN 1 7])), [1 1]);

## Other classes: the same double-precision value, converted for the class
%!test
%! A = uint8 (reshape (mod ((1:37*23*2) * 167, 256), 37, 23, 2));
%! for out = {[11 7], [80 51], [1 40], [50 1], [37 23]}
%!   expected = scale_bilinear (A, out{1});
%!   assert (scale_bilinear (uint16 (A), out{1}), uint16 (expected));
%!   assert (scale_bilinear (int16 (A), out{1}), int16 (expected));
%!   assert (fix (scale_bilinear (double (A), out{1})), double (expected));
%!   assert (scale_bilinear (single (A), out{1}), single (scale_bilinear (double (A), out{1})));
%! endfor
%!test
%! for cls = {"uint16", "int16", "single", "double"}
%!   Y = scale_bilinear (cast (magic (6), cls{1}), [5 7 2]);
%!   assert (class (Y), cls{1});
%!   assert (size (Y), [5 7]);
%!   assert (isreal (Y) && ! issparse (Y));
%!   assert (size (scale_bilinear (cast (ones (3, 4, 2), cls{1}), 2)), [6 8 2]);
%! endfor
%!assert (scale_bilinear (int16 ([-10; -21]), [3 1]), int16 ([-10; -15; -20]))
%!assert (scale_bilinear (uint16 ([1000 3001]), [1 3]), uint16 ([1000 2000 3000]))
%!assert (scale_bilinear (single ([0 0.5; 1 1.5]), [3 3]), single (scale_bilinear ([0 0.5; 1 1.5], [3 3])))
%!test
%! ## A NaN neighbour gives NaN even where its weight is 0 (a 2 x 2 image: in
%! ## every sample); infinity times a weight of 0 is NaN too.
%! assert (all (isnan (scale_bilinear (single ([1 NaN; 3 4]), [3 3])(:))));
%! assert (scale_bilinear ([1 Inf; 3 4], [1 3]), [NaN Inf Inf]);
%! ## Samples at positions 0, 0.5 and just short of 1 read the first row.
%! Y = scale_bilinear (single ([NaN 2 2; 2 2 2; 2 2 2]), [5 5]);
%! assert (isnan (Y), logical ([1 1 1 0 0; 1 1 1 0 0; 1 1 1 0 0; 0 0 0 0 0; 0 0 0 0 0]));
%! ## Every NaN is the one NaN.
%! assert (typecast (scale_bilinear (-NaN (2), [2 2])(:), "uint64"), repmat (typecast (NaN, "uint64"), 4, 1));
%!test
%! ## Every thread setting gives the same result for the other classes too.
%! A = uint16 (reshape (mod ((1:300*400*2) * 7919, 65536), 300, 400, 2));
%! same_at_every_thread_setting (@() scale_bilinear (A, [600 1000]));
%! B = single (A) / 65535;
%! B(1:7:end) = NaN;
%! same_at_every_thread_setting (@() typecast (scale_bilinear (B, 1.5)(:), "uint32"));

## Errors: the image comes first
%!test
%! expect_error (@() scale_bilinear (), "scale_bilinear:invalidImage", image_text);
%! expect_error (@() scale_bilinear (uint8 ([])), "scale_bilinear:invalidImage", image_text);
%! expect_error (@() scale_bilinear (zeros (0, 3, "uint8"), [2 2]), "scale_bilinear:invalidImage", image_text);
%! expect_error (@() scale_bilinear (single ([]), 2), "scale_bilinear:invalidImage", image_text);
%! for cls = {"int8", "int32", "uint32", "int64", "uint64"}
%!   expect_error (@() scale_bilinear (cast (X, cls{1}), [2 2]), "scale_bilinear:invalidImage", image_text);
%! endfor
%! expect_error (@() scale_bilinear (X > 0, [2 2]), "scale_bilinear:invalidImage", image_text);
%! expect_error (@() scale_bilinear ("ab", [2 2]), "scale_bilinear:invalidImage", image_text);
%! expect_error (@() scale_bilinear ({X}, [2 2]), "scale_bilinear:invalidImage", image_text);
%! expect_error (@() scale_bilinear (complex (double (X)), [2 2]), "scale_bilinear:invalidImage", image_text);
%! expect_error (@() scale_bilinear (complex (single (X), 1), [2 2]), "scale_bilinear:invalidImage", image_text);
%! expect_error (@() scale_bilinear (sparse (double (X)), [2 2]), "scale_bilinear:invalidImage", image_text);
%! expect_error (@() scale_bilinear (int8 (X), -1), "scale_bilinear:invalidImage", image_text);
%!error id=scale_bilinear:invalidImage scale_bilinear (int32 (X), [2 2])

## Errors: the size argument
%!test
%! for bad = {[], zeros(0, 2), "33", {3, 3}, int8([-1 3]), single([NaN NaN]), ...
%!         sparse([3 3]), sparse(2), complex([3 3], [0 0]), [-1 3], [3 -1], [-1.5 2], [NaN NaN], [NaN -1], ...
%!         [-1 NaN], [NaN Inf], [Inf NaN], [Inf 3], [3 -Inf], [2^31 3], [3 -2^31 - 1], [1e300 3], ...
%!         [NaN 2^31]}
%!   expect_error (@() scale_bilinear (X, bad{1}), "scale_bilinear:invalidSize", size_text);
%! endfor
%! expect_error (@() scale_bilinear (X), "scale_bilinear:invalidSize", size_text);
%! ## The size the aspect ratio gives must fit too: 2^30 columns of a 4 x 1 image.
%! expect_error (@() scale_bilinear (uint8 ([1; 2; 3; 4]), [NaN 2^30]), "scale_bilinear:invalidSize", size_text);
%! for bad = {0, -0, -1, NaN, -Inf, Inf, 2^30, 1e300}
%!   expect_error (@() scale_bilinear (X, bad{1}), "scale_bilinear:invalidSize", factor_text);
%! endfor
%!error id=scale_bilinear:invalidSize scale_bilinear (X, [4 -4])

## Sizes and factors of any real class are read as the double ones are
%!test
%! A = uint8 (reshape (0:29, 5, 6) * 8);
%! for size_value = {int32([10 10]), uint8([3 7]), single([4 NaN]), int16(2), single(0.5), [true true], ...
%!                   int64([2 3 9])}
%!   assert (scale_bilinear (A, size_value{1}), scale_bilinear (A, double (size_value{1})));
%! endfor

## Arguments that nothing reads
%!test
%! expect_error (@() scale_bilinear (X, 0.5, "bicubic"), "scale_bilinear:tooManyArguments", ...
%!               "scale_bilinear takes two arguments, X and the size: it resamples by bilinear interpolation only, with no options (resize_image offers other methods)");
%! expect_error (@() luma_u8 (uint8 (ones (2, 2, 3)), "x"), "luma_u8:tooManyArguments", ...
%!               "luma_u8 takes one argument, the RGB image");

## Help
%!test
%! [text, format] = get_help_text ("scale_bilinear");
%! assert (format, "plain text");
%! assert (! isempty (strfind (text, "Y = scale_bilinear(X, [ny nx])")));
%! assert (! isempty (strfind (text, "Y = scale_bilinear(X, s)")));
%! assert (! isempty (strfind (text, "Y = scale_bilinear(X, [ny NaN])")));
%! flat = regexprep (text, "\\s+", " ");
%! assert (! isempty (strfind (flat, ["scale_bilinear:invalidImage " image_text])));
%! assert (! isempty (strfind (flat, ["scale_bilinear:invalidSize " size_text])));
%! assert (! isempty (strfind (flat, ["scale_bilinear:invalidSize " factor_text])));
