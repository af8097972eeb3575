% SCALE_BILINEAR  Resample an image by bilinear interpolation.
%
%   Y = scale_bilinear(X, [ny nx])
%   Y = scale_bilinear(X, s)
%   Y = scale_bilinear(X, [ny NaN])
%   Y = scale_bilinear(X, [NaN nx])
%
%   X is an Ny x Nx matrix of class uint8, uint16, int16, single or double;
%   Y is a new ny x nx matrix of the same class. X may have more dimensions
%   (Ny x Nx x 3 for a colour image, Ny x Nx x P x Q in general): every
%   Ny x Nx plane is then resampled on its own, exactly as the
%   two-dimensional call would, and Y is ny x nx x 3 (ny x nx x P x Q).
%
%   The output size:
%     [ny nx]   ny and nx are the first two elements, truncated toward zero:
%               [10.9 20.2] gives 10 x 20; further elements are ignored, so
%               [10 20 3] also gives 10 x 20.
%     s         a scale factor, finite and > 0: ny = ceil(s * Ny) and
%               nx = ceil(s * Nx), each product formed in double (0.5 on a
%               1080 x 1920 image gives 540 x 960).
%     [ny NaN]  nx follows the aspect ratio: nx = ceil(ny * Nx / Ny), the
%               product first, with ny truncated as above; [NaN nx] gives
%               ny = ceil(nx * Ny / Nx). [NaN NaN] is an error.
%   The size or factor may be of any real numeric class (int32([10 10]) and
%   single(0.5) are read as [10 10] and 0.5). ny = 1 (nx = 1) samples only
%   the first row (column). ny = 0 or nx = 0 gives an empty result of that
%   shape.
%
%   scale_bilinear takes no options: it resamples by bilinear interpolation
%   only, as documented here (corner-aligned samples, truncated values).
%
%   The first output sample takes the first input sample; positions then
%   advance by (Ny - 1) / ((ny - 1) + 1e-7) rows and (Nx - 1) / ((nx - 1) +
%   1e-7) columns, summed step by step, so the last output sample lands
%   just short of the last input row and column. Each output value is the
%   bilinear interpolation of the four neighbouring pixels in double
%   precision, then converted to the class of X:
%     uint8, uint16, int16  truncated toward zero (not rounded); a value
%                           never leaves the class's range.
%     single                rounded to the nearest single.
%     double                the value itself.
%   So an integer image of values below 256 gives the uint8 result in its
%   own class, and single(X) gives single() of the double(X) result.
%
%   Because of the 1e-7 guard and the truncation, an integer result can be
%   one level below a rounded interpolation: scaling to the same size is
%   not an exact copy, and a constant uint8 image of 100 scaled to 7 x 1
%   gives [100 100 99 100 100 100 100]'.
%
%   NaN and Inf in a single or double image flow through the arithmetic as
%   they fall: all four neighbours are always read, so a NaN neighbour gives
%   NaN even where its weight is 0, and an infinite one gives NaN there
%   (Inf times 0) and +-Inf elsewhere; opposite infinities meet as NaN.
%   Every NaN in Y is the positive quiet NaN (Octave's NaN), whatever NaN
%   it came from.
%
%   Images of one row or one column, and very long outputs, never read
%   outside X: the neighbour below or to the right is taken no further than
%   the last row or column.
%
%   Large outputs are split across the processor's cores; the result is the
%   same at every thread count. The environment variable MEX_KERNELS_THREADS
%   sets the number of threads (a positive integer; 1 for one thread, as
%   inside parfor or parcellfun workers, which run side by side already);
%   unset or any other value means every processor the process may use.
%
%   Errors (identifier: message):
%     scale_bilinear:invalidImage  X must be (Ny x Nx) in UINT8, UINT16,
%                                  INT16, SINGLE or DOUBLE format
%         X missing or empty; of another class (logical, char, int8, int32,
%         uint32, int64, uint64, cell, struct...); complex or sparse.
%     scale_bilinear:invalidSize   size must be [ny nx] with ny, nx >= 0
%                                  (one of them may be NaN) or a scale
%                                  factor, as real numbers
%         size missing, empty, not numeric, complex or sparse; ny or nx
%         negative after truncation (Inf and values of 2^31 or more count
%         as negative); [NaN NaN]; a size from the aspect ratio of 2^31 or
%         more.
%     scale_bilinear:invalidSize   scale factor must be finite and > 0, and
%                                  give fewer than 2^31 rows and columns
%         a factor s <= 0, NaN or Inf, or one for which ceil(s * Ny) or
%         ceil(s * Nx) is 2^31 or more.
%     scale_bilinear:tooManyArguments  scale_bilinear takes two arguments,
%                                  X and the size: it resamples by bilinear
%                                  interpolation only, with no options
%                                  (resize_image offers other methods)
%     scale_bilinear:outOfMemory   out of memory for the result
%     scale_bilinear:outOfMemory   out of memory for the working memory of
%                                  the resampling
%
%   Example:
%     X = uint8([0 50; 100 150]);
%     Y = scale_bilinear(X, [3 3])
%     % Y = [0 24 49; 49 74 99; 99 124 149]
%     size(scale_bilinear(X, 1.5))
%     % ans = 3 3
%     scale_bilinear(single(X) / 255, [1 4])
%     % ans = [0 0.0653595 0.1307189 0.1960784] (single)
%     RGB = cat(3, X, 255 - X, X);
%     size(scale_bilinear(RGB, [6 NaN]))
%     % ans = 6 6 3
%
%   See also LUMA_U8, LINSVM_FIT.

% Self-tests of an installation, run in Octave by "test scale_bilinear" or
% "pkg test linsvm_image": each checks behaviour documented above.

%!shared X
%! X = uint8 ([0 50; 100 150]);
%!assert (scale_bilinear (X, [3 3]), uint8 ([0 24 49; 49 74 99; 99 124 149]))
%!assert (scale_bilinear (X, [1 4]), uint8 ([0 16 33 49]))
%!assert (scale_bilinear (repmat (uint8 (100), 2, 2), [7 1]), uint8 ([100 100 99 100 100 100 100]'))
%!test
%! % A colour image, and any stack of planes, is resampled plane by plane.
%! RGB = cat (3, X, 255 - X, X);
%! Y = scale_bilinear (RGB, [6 8]);
%! assert (size (Y), [6 8 3]);
%! for p = 1:3
%!   assert (Y(:, :, p), scale_bilinear (RGB(:, :, p), [6 8]));
%! end
%! S = reshape (uint8 (mod ((0:47) * 37, 256)), 2, 3, 2, 4);
%! Z = scale_bilinear (S, [5 4]);
%! assert (size (Z), [5 4 2 4]);
%! assert (Z(:, :, 2, 3), scale_bilinear (S(:, :, 2, 3), [5 4]));
%!test
%! % Sizes are truncated; elements after the second are ignored; a zero size
%! % gives an empty uint8 result of that shape.
%! assert (size (scale_bilinear (X, [10.9 20.2])), [10 20]);
%! assert (scale_bilinear (X, [10 20 3]), scale_bilinear (X, [10 20]));
%! Z = scale_bilinear (cat (3, X, X), [0 5]);
%! assert (size (Z), [0 5 2]);
%! assert (class (Z), "uint8");
%!test
%! % A large output is split across threads: the same bytes on one thread.
%! I = reshape (uint8 (mod ((1:1200 * 1000) * 7919, 251)), 1200, 1000);
%! saved = getenv ("MEX_KERNELS_THREADS");
%! unwind_protect
%!   setenv ("MEX_KERNELS_THREADS", "1");
%!   one = scale_bilinear (I, [1100 900]);
%!   setenv ("MEX_KERNELS_THREADS", "3");
%!   three = scale_bilinear (I, [1100 900]);
%! unwind_protect_cleanup
%!   setenv ("MEX_KERNELS_THREADS", saved);
%! end_unwind_protect
%! assert (three, one);
%!test
%! % A scale factor, one size left to the aspect ratio, and the other classes.
%! assert (size (scale_bilinear (zeros (1080, 1920, "uint8"), 0.5)), [540 960]);
%! assert (scale_bilinear (X, 1.5), scale_bilinear (X, [3 3]));
%! assert (scale_bilinear (X, [3 NaN]), scale_bilinear (X, [3 3]));
%! assert (scale_bilinear (uint16 (X), [3 3]), uint16 (scale_bilinear (X, [3 3])));
%! assert (scale_bilinear (int16 (X), [3 3]), int16 (scale_bilinear (X, [3 3])));
%! assert (scale_bilinear (double (X), [3 3]), scale_bilinear (double (X), [3 3]));
%! assert (fix (scale_bilinear (double (X), [3 3])), double (scale_bilinear (X, [3 3])));
%! assert (class (scale_bilinear (single (X), [3 3])), "single");
%!error id=scale_bilinear:invalidImage scale_bilinear ()
%!error id=scale_bilinear:invalidImage scale_bilinear (logical ([0 1; 1 0]), [3 3])
%!error id=scale_bilinear:invalidImage scale_bilinear (uint8 ([]), [3 3])
%!error <X must be \(Ny x Nx\) in UINT8, UINT16, INT16, SINGLE or DOUBLE format> scale_bilinear (int32 (X), [3 3])
%!error id=scale_bilinear:invalidSize scale_bilinear (X)
%!error id=scale_bilinear:invalidSize scale_bilinear (X, 0)
%!error id=scale_bilinear:invalidSize scale_bilinear (X, [-1 3])
%!error id=scale_bilinear:invalidSize scale_bilinear (X, [NaN NaN])
%!error <size must be \[ny nx\] with ny, nx .= 0 \(one of them may be NaN\) or a scale factor, as real numbers> scale_bilinear (X, "33")
%!error id=scale_bilinear:tooManyArguments scale_bilinear (X, 0.5, "bicubic")
%!assert (scale_bilinear (X, int32 ([3 3])), scale_bilinear (X, [3 3]))
