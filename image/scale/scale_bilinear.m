% SCALE_BILINEAR  Resample an 8-bit image by bilinear interpolation.
%
%   Y = scale_bilinear(X, [ny nx])
%
%   X is an Ny x Nx uint8 matrix; Y is a new ny x nx uint8 matrix. X may
%   have more dimensions (Ny x Nx x 3 for a colour image, Ny x Nx x P x Q
%   in general): every Ny x Nx plane is then resampled on its own, exactly
%   as the two-dimensional call would, and Y is ny x nx x 3 (ny x nx x P x
%   Q).
%
%   The first output sample takes the first input sample; positions then
%   advance by (Ny - 1) / ((ny - 1) + 1e-7) rows and (Nx - 1) / ((nx - 1) +
%   1e-7) columns, so the last output sample lands just short of the last
%   input row and column. Each output value is the bilinear interpolation
%   of the four neighbouring pixels in double precision, truncated toward
%   zero (not rounded). Because of the 1e-7 guard and the truncation, a
%   result can be one level below a rounded interpolation: scaling to the
%   same size is not an exact copy, and a constant image of 100 scaled to
%   7 x 1 gives [100 100 99 100 100 100 100]'.
%
%   ny and nx are the first two elements of the size argument, truncated
%   toward zero: [10.9 20.2] gives 10 x 20; further elements are ignored,
%   so [10 20 3] also gives 10 x 20. ny = 1 (nx = 1) samples only the first
%   row (column). ny = 0 or nx = 0 gives an empty result of that shape.
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
%     scale_bilinear:invalidImage  X must be (Ny x Nx) in UINT8 format
%         X missing, empty, not uint8, complex or sparse.
%     scale_bilinear:invalidSize   size must be [ny nx] with ny, nx >= 0 in double format
%         size missing, empty, not double, complex or sparse, with fewer
%         than two elements, or ny or nx negative after truncation (NaN,
%         Inf and values of 2^31 or more count as negative).
%
%   Example:
%     X = uint8([0 50; 100 150]);
%     Y = scale_bilinear(X, [3 3])
%     % Y = [0 24 49; 49 74 99; 99 124 149]
%     RGB = cat(3, X, 255 - X, X);
%     size(scale_bilinear(RGB, [6 8]))
%     % ans = 6 8 3
%
%   See also LUMA_U8, LINSVM_FIT.
