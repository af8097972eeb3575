% Calls whose result the host cannot allocate under an address-space cap of
% 3 GiB (the test runs under ulimit -v): each raises an error with an
% identifier, Octave stays up, and a small call afterwards gives the right
% result.

%!function expect_refused (call)
%!  try
%!    call ();
%!    error ("memory_limited:allocated", "the call got its memory under the cap");
%!  catch err
%!    assert (any (strcmp (err.identifier, {"scale_bilinear:outOfMemory", "resize_image:outOfMemory", ...
%!                                          "luma_u8:outOfMemory", "linsvm_fit:outOfMemory"})), ...
%!            sprintf ("unexpected error '%s': %s", err.identifier, err.message));
%!  end_try_catch
%!endfunction

%!test
%! expect_refused (@() scale_bilinear (uint8 (7), [60000 60000]));
%! assert (scale_bilinear (uint8 ([0 50; 100 150]), [3 3]), uint8 ([0 24 49; 49 74 99; 99 124 149]));
%!test
%! expect_refused (@() resize_image (uint8 (7), [60000 60000]));
%! % The result fits under the cap, one row of the intermediate per thread does not.
%! expect_refused (@() resize_image (zeros (1, 1.5e8, "uint8"), [2 1.5e8], "nearest"));
%! assert (resize_image (uint8 ([10 20; 30 40]), 2, "bilinear"), uint8 ([10 13 18 20; 15 18 23 25; 25 28 33 35; 30 33 38 40]));
%!test
%! % The 2.7 GB image fits under the cap, its 0.9 GB gray result does not.
%! RGB = zeros (1, 9e8, 3, "uint8");
%! expect_refused (@() luma_u8 (RGB));
%! clear RGB
%! assert (luma_u8 (uint8 (cat (3, [255 0; 10 255], [0 255; 20 255], [0 0; 30 255]))), uint8 ([76 149; 18 255]));
%!test
%! expect_refused (@() linsvm_fit (zeros (5e8, 0), zeros (1, 0)));
%! assert (linsvm_fit (1:10, ones (1, 10), "nbite", 10, "seed", 1), [0.9863939238321435; 0.16439898730535726], 0);
