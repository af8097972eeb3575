% LUMA_U8  Convert an 8-bit colour image to an 8-bit gray image.
%
%   G = luma_u8(RGB)
%
%   RGB is an Ny x Nx x 3 uint8 array of red, green and blue planes. G is a
%   new Ny x Nx uint8 matrix; with red, green and blue the values of a pixel
%   in the three planes, its gray value is
%
%     fix((red * 0.298936021293776 + green * 0.587043074451121)
%         + blue * 0.114020904255103)
%
%   computed in double precision in this order and truncated toward zero
%   (not rounded). White gives 255 and black 0; pure red, green and blue
%   give 76, 149 and 29. The truncation makes six neutral grays come out
%   one lower: R = G = B = k gives k - 1 for k = 63, 85, 126, 170, 239 and
%   252.
%
%   An array of more than three dimensions whose third dimension is 3 is
%   accepted: only its first red, green and blue planes (RGB(:, :, 1:3, 1))
%   are read, and G is Ny x Nx.
%
%   Large images are split across the processor's cores; the result is the
%   same at every thread count. The environment variable MEX_KERNELS_THREADS
%   sets the number of threads (a positive integer; 1 for one thread, as
%   inside parfor or parcellfun workers, which run side by side already);
%   unset or any other value means every processor the process may use.
%
%   Errors (identifier: message):
%     luma_u8:invalidImage  rgb must be (Ny x Nx x 3) in UINT8 format
%         RGB missing, empty, not uint8, complex or sparse, with fewer than
%         three dimensions, or with a third dimension other than 3.
%     luma_u8:tooManyArguments  luma_u8 takes one argument, the RGB image
%     luma_u8:outOfMemory   out of memory for the result
%     luma_u8:outOfMemory   out of memory
%         the system refused the result's memory, or the module's own.
%
%   Example:
%     RGB = uint8(cat(3, [255 0; 10 255], [0 255; 20 255], [0 0; 30 255]));
%     G = luma_u8(RGB)
%     % G = [76 149; 18 255]
%
%   See also SCALE_BILINEAR, LINSVM_FIT.

% Self-tests of an installation, run in Octave by "test luma_u8" or
% "pkg test linsvm_image": each checks behaviour documented above.

%!assert (luma_u8 (uint8 (cat (3, [255 0; 10 255], [0 255; 20 255], [0 0; 30 255]))), uint8 ([76 149; 18 255]))
%!assert (luma_u8 (uint8 (cat (3, [255 0 0 0], [0 255 0 0], [0 0 255 0]))), uint8 ([76 149 29 0]))
%!assert (luma_u8 (repmat (uint8 ([63 85 126 170 239 252]), [1 1 3])), uint8 ([62 84 125 169 238 251]))
%!test
%! % The weighted sum in double precision, in the documented order, truncated.
%! [r, g, b] = ndgrid (0:17:255);
%! RGB = uint8 (cat (3, r(:, :), g(:, :), b(:, :)));
%! expected = uint8 (fix ((r(:, :) * 0.298936021293776 + g(:, :) * 0.587043074451121) + b(:, :) * 0.114020904255103));
%! assert (luma_u8 (RGB), expected);
%!test
%! % Of more than three dimensions only the first red, green and blue planes are read.
%! RGB = reshape (uint8 (mod ((0:35) * 37, 256)), 2, 3, 3, 2);
%! assert (luma_u8 (RGB), luma_u8 (RGB(:, :, :, 1)));
%!test
%! % A large image is split across threads: the same bytes on one thread.
%! RGB = reshape (uint8 (mod ((1:1400 * 1300 * 3) * 7919, 251)), 1400, 1300, 3);
%! saved = getenv ("MEX_KERNELS_THREADS");
%! unwind_protect
%!   setenv ("MEX_KERNELS_THREADS", "1");
%!   one = luma_u8 (RGB);
%!   setenv ("MEX_KERNELS_THREADS", "3");
%!   three = luma_u8 (RGB);
%! unwind_protect_cleanup
%!   setenv ("MEX_KERNELS_THREADS", saved);
%! end_unwind_protect
%! assert (three, one);
%!error id=luma_u8:invalidImage luma_u8 ()
%!error id=luma_u8:invalidImage luma_u8 (zeros (2, 2, 3))
%!error id=luma_u8:invalidImage luma_u8 (uint8 ([1 2; 3 4]))
%!error id=luma_u8:invalidImage luma_u8 (zeros (4, 5, 4, "uint8"))
%!error <rgb must be \(Ny x Nx x 3\) in UINT8 format> luma_u8 (uint8 ([]))
%!error id=luma_u8:tooManyArguments luma_u8 (uint8 (ones (2, 2, 3)), "x")
