% Calls whose result the host cannot allocate under an address-space cap of
% 3 GiB (the test runs under ulimit -v): each raises an error with an
% identifier, Octave stays up, and a small call afterwards gives the right
% result. Results of about half the cap tell the two kinds of module apart:
% Octave copies a MEX module's result, so the MEX module must refuse them
% itself, while an oct-file's result is taken as it is and must be had.

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

% A MEX module's result of `bytes` must be refused by the module; an
% oct-file's must be had, unless it would not fit even once beside what
% Octave holds now (then the module's error).
%!function expect_refused_if_copied (call, bytes, check_result)
%!  [~, ~, extension] = fileparts (which ("luma_u8"));
%!  if (strcmp (extension, ".mex"))
%!    expect_refused (call);
%!    return;
%!  endif
%!  status = fileread ("/proc/self/status");
%!  held = str2double (regexp (status, 'VmSize:\s*(\d+)', "tokens", "once"){1}) * 1024;
%!  fits_once = held + bytes + 2^28 < 3 * 2^30;
%!  try
%!    result = call ();
%!  catch err
%!    assert (! fits_once && ! isempty (regexp (err.identifier, "^[a-z_0-9]+:outOfMemory$", "once")), ...
%!            sprintf ("%d bytes beside %d held: unexpected error '%s': %s", bytes, held, err.identifier, err.message));
%!    return;
%!  end_try_catch
%!  check_result (result);
%!endfunction

%!test
%! % 1.6 GB: twice that does not fit under the cap, once does.
%! expect_refused_if_copied (@() scale_bilinear (uint8 (7), [40000 40000]), 1.6e9, ...
%!                           @(Y) assert (isequal (size (Y), [40000 40000]) && isa (Y, "uint8") && all (Y([1 end]) == 7)));
%! expect_refused_if_copied (@() linsvm_fit (zeros (2e8, 0), zeros (1, 0)), 1.6e9, ...
%!                           @(w) assert (isequal (size (w), [2e8 + 1, 1]) && isa (w, "double")));

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
