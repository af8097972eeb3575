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
%   ny = 1 (nx = 1) samples only the first row (column). ny = 0 or nx = 0
%   gives an empty result of that shape.
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
%                                  factor, in double format
%         size missing, empty, not double, complex or sparse; ny or nx
%         negative after truncation (Inf and values of 2^31 or more count
%         as negative); [NaN NaN]; a size from the aspect ratio of 2^31 or
%         more.
%     scale_bilinear:invalidSize   scale factor must be finite and > 0, and
%                                  give fewer than 2^31 rows and columns
%         a factor s <= 0, NaN or Inf, or one for which ceil(s * Ny) or
%         ceil(s * Nx) is 2^31 or more.
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
