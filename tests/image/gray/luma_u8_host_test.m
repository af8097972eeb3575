% Host tests of luma_u8: run by tests/host/run_octave_test.m with the built
% modules on the path.

%!function G = documented_luma (RGB)
%!  RGB = double (RGB);
%!  G = uint8 (fix ((RGB(:, :, 1) * 0.298936021293776 + RGB(:, :, 2) * 0.587043074451121) ...
%!                  + RGB(:, :, 3) * 0.114020904255103));
%!endfunction

%!shared rgb_text
%! rgb_text = "rgb must be (Ny x Nx x 3) in UINT8 format";

## Worked examples, to the pixel
%!test
%! ## White, black, red, green, blue and (10, 20, 30), as a 2 x 3 image.
%! R = [255 0 0; 255 0 10];
%! G = [255 0 255; 0 0 20];
%! B = [255 0 0; 0 255 30];
%! assert (luma_u8 (uint8 (cat (3, R, G, B))), uint8 ([255 0 149; 76 29 18]));
%!test
%! k = 0:255;
%! expected = k;
%! one_lower = [63 85 126 170 239 252];
%! expected(one_lower + 1) = one_lower - 1;
%! assert (luma_u8 (uint8 (cat (3, k, k, k))), uint8 (expected));
%!test
%! RGB = uint8 (randi ([0 255], 120, 70, 3));
%! assert (luma_u8 (RGB), documented_luma (RGB));

## Result class and shape
%!test
%! G = luma_u8 (zeros (4, 5, 3, "uint8"));
%! assert (class (G), "uint8");
%! assert (size (G), [4 5]);
%! assert (isreal (G) && ! issparse (G));
%!assert (size (luma_u8 (zeros (1, 1, 3, "uint8"))), [1 1])
%!assert (size (luma_u8 (zeros (1, 7, 3, "uint8"))), [1 7])
%!test
%! ## More than three dimensions: only the first three planes are read.
%! RGB = uint8 (randi ([0 255], 4, 5, 3, 2));
%! assert (luma_u8 (RGB), documented_luma (RGB(:, :, :, 1)));
%! RGB(:, :, :, 2) = 255 - RGB(:, :, :, 2);
%! assert (luma_u8 (RGB), documented_luma (RGB(:, :, :, 1)));
%! assert (size (luma_u8 (zeros (4, 5, 3, 2, 2, "uint8"))), [4 5]);
%!test
%! ## Threads: every setting of MEX_KERNELS_THREADS gives the same bytes, on
%! ## an image large enough to be split.
%! RGB = uint8 (reshape (mod ((1:1300*1300*3) * 7919, 256), 1300, 1300, 3));
%! assert (luma_u8 (RGB), documented_luma (RGB));
%! same_at_every_thread_setting (@() luma_u8 (RGB));
%!test
%! RGB = uint8 (randi ([0 255], 6, 6, 3));
%! copy = RGB;
%! luma_u8 (RGB);
%! assert (RGB, copy);

## Errors
%!test
%! expect_error (@() luma_u8 (), "luma_u8:invalidImage", rgb_text);
%! expect_error (@() luma_u8 (uint8 ([])), "luma_u8:invalidImage", rgb_text);
%! expect_error (@() luma_u8 (zeros (0, 5, 3, "uint8")), "luma_u8:invalidImage", rgb_text);
%! expect_error (@() luma_u8 (zeros (4, 5, 3)), "luma_u8:invalidImage", rgb_text);
%! expect_error (@() luma_u8 (zeros (4, 5, 3, "int8")), "luma_u8:invalidImage", rgb_text);
%! expect_error (@() luma_u8 (false (4, 5, 3)), "luma_u8:invalidImage", rgb_text);
%! expect_error (@() luma_u8 (repmat ("a", [4 5 3])), "luma_u8:invalidImage", rgb_text);
%! expect_error (@() luma_u8 ({zeros(4, 5, 3, "uint8")}), "luma_u8:invalidImage", rgb_text);
%! expect_error (@() luma_u8 (zeros (4, 5, "uint8")), "luma_u8:invalidImage", rgb_text);
%! expect_error (@() luma_u8 (zeros (4, 5, 1, "uint8")), "luma_u8:invalidImage", rgb_text);
%! expect_error (@() luma_u8 (zeros (4, 5, 2, "uint8")), "luma_u8:invalidImage", rgb_text);
%! expect_error (@() luma_u8 (zeros (4, 5, 4, "uint8")), "luma_u8:invalidImage", rgb_text);
%! expect_error (@() luma_u8 (zeros (4, 5, 4, 3, "uint8")), "luma_u8:invalidImage", rgb_text);
%!error id=luma_u8:invalidImage luma_u8 (zeros (3, 3, 3, "uint16"))

## Help
%!test
%! [text, format] = get_help_text ("luma_u8");
%! assert (format, "plain text");
%! assert (! isempty (strfind (text, "G = luma_u8(RGB)")));
%! assert (! isempty (strfind (text, ["luma_u8:invalidImage  " rgb_text])));
