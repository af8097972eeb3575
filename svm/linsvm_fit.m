% LINSVM_FIT  Train a linear two-class classifier (hinge loss, L2 regularisation).
%
%   w = linsvm_fit(X, y)
%   w = linsvm_fit(X, y, options)
%   w = linsvm_fit(X, y, 'name', value, ...)
%
%   X is a d x N real double or single matrix, one example per column (a
%   single X is widened to double exactly, so it gives what double(X) gives,
%   bit for bit, with half the memory). y is a 1 x N real double row of
%   labels, +1 or -1 (each label is truncated toward zero, so 0.7 counts as
%   0 and -1.9 as -1). w is a column of d doubles, followed by the bias
%   weight when biasmult > 0; classify an example x by the sign of
%   w(1:d)' * x + w(d+1) * biasmult.
%
%   Labels other than -1 and +1 after truncation (0/1 labels, say) train a
%   worse model; they raise the warning linsvm_fit:unusualLabels, saying how
%   many there are, and are used as they are. warning('off',
%   'linsvm_fit:unusualLabels') silences it.
%
%   Training minimises lambda/2 * |w|^2 + mean(max(0, 1 - y .* (w' * X)))
%   by nbite stochastic sub-gradient steps of size 1/(t*lambda), each on one
%   example drawn uniformly with replacement, with projection onto the ball
%   of radius 1/sqrt(lambda). The same seed, data and options always give
%   the same w.
%
%   options is a structure with any of these fields, or the same options as
%   name/value pairs (names case-insensitive; a later pair overrides an
%   earlier one). A missing field or name, an empty value or an empty
%   options argument keeps the default; a third argument that is neither a
%   structure nor text is ignored.
%
%     lambda    regularisation weight. Default 0.01. A negative value prints
%               "lambda >= 0, force to 1/N" and becomes 1/N. lambda = 0
%               gives a vector of NaN.
%     biasmult  value of the constant bias feature. Default 1. When > 0, w
%               has d + 1 elements and w(end) is the bias weight; 0, a
%               negative value or NaN gives no bias (d elements).
%     nbite     number of steps, truncated toward zero. Default 100. A value
%               that truncates to 0 or less (also NaN, Inf, >= 2^31) prints
%               "nbite > 0 , force to 20*N" and becomes 20*N (at most
%               2147483647).
%     seed      seed of the example sampler, truncated toward zero; its low
%               32 bits are used (-1 gives 4294967295). Default: none, the
%               clock seeds the sampler. A value whose low 32 bits are 0
%               prints "seed >= 1 , force to NULL (random seed)" and the
%               clock is used.
%
%   Option values may be of any real numeric or logical class; a text,
%   cell, structure, complex or sparse value is an error. Corrections are
%   printed in the order lambda, nbite, seed, after every option has been
%   checked.
%
%   The sampler keeps its state between calls while the module stays
%   loaded, so unseeded calls within the same second still differ;
%   "clear linsvm_fit" resets it.
%
%   Errors (identifier: message):
%     linsvm_fit:invalidX       X must be (d x N) in double format
%         X missing, not double or single, sparse, complex, or more than
%         2^31-1 rows or columns.
%     linsvm_fit:invalidY       y must be (1 x N) in double format
%         y missing, not double, sparse, complex, its column count is not
%         N, or it holds fewer than N elements.
%     linsvm_fit:invalidOption  <name> must be a real number
%         an option value that is text, a cell, a structure, complex or
%         sparse.
%     linsvm_fit:invalidOption  unknown option '<name>' (lambda, biasmult, nbite or seed)
%     linsvm_fit:invalidOption  option '<name>' has no value
%     linsvm_fit:invalidOption  option name at argument <k> must be text
%         name/value pairs with an unknown name, a name without a value,
%         or a name that is not text.
%
%   Warning (identifier: message):
%     linsvm_fit:unusualLabels  <n> of the <N> labels are not -1 or +1 after truncation toward zero
%
%   An X without columns (N = 0) makes no step and returns the zero vector.
%
%   Example:
%     X = [randn(2, 50) + 2, randn(2, 50) - 2];
%     y = [ones(1, 50), -ones(1, 50)];
%     w = linsvm_fit(X, y, 'lambda', 0.01, 'nbite', 5000, 'seed', 1);
%     accuracy = mean(sign(w(1:2)' * X + w(3)) == y)
%     % the same as linsvm_fit(X, y, struct('lambda', 0.01, 'nbite', 5000, 'seed', 1))
%
%   See also SCALE_BILINEAR, LUMA_U8.

% Self-tests of an installation, run in Octave by "test linsvm_fit" or
% "pkg test linsvm_image": each checks behaviour documented above.

%!test
%! % The example: two clusters, nearly every example classified right; the
%! % same options as a structure, and as pairs in another case and order.
%! randn ("state", 1);
%! X = [randn(2, 50) + 2, randn(2, 50) - 2];
%! y = [ones(1, 50), -ones(1, 50)];
%! w = linsvm_fit (X, y, 'lambda', 0.01, 'nbite', 5000, 'seed', 1);
%! assert (size (w), [3 1]);
%! assert (mean (sign (w(1:2)' * X + w(3)) == y) >= 0.95);
%! assert (linsvm_fit (X, y, struct ('lambda', 0.01, 'nbite', 5000, 'seed', 1)), w, 0);
%! assert (linsvm_fit (X, y, 'SEED', 7, 'NbIte', 5000, 'seed', 1, 'Lambda', 0.01), w, 0);
%! assert (linsvm_fit (single (X), y, 'lambda', 0.01, 'nbite', 5000, 'seed', 1), ...
%!         linsvm_fit (double (single (X)), y, 'lambda', 0.01, 'nbite', 5000, 'seed', 1), 0);
%!assert (linsvm_fit (1:10, ones (1, 10), struct ("nbite", 10, "seed", 1)), [0.9863939238321435; 0.16439898730535726], 0)
%!test
%! % Defaults, the bias weight and a training set without examples.
%! X = [1 2 -1 -2; 2 1 -2 -1];
%! y = [1 1 -1 -1];
%! assert (linsvm_fit (X, y, struct ("seed", 3, "lambda", [])), linsvm_fit (X, y, "seed", 3), 0);
%! assert (linsvm_fit (X, y, "seed", 3), linsvm_fit (X, y, struct ("lambda", 0.01, "biasmult", 1, "nbite", 100, "seed", 3)), 0);
%! assert (size (linsvm_fit (X, y, "biasmult", 0, "seed", 3)), [2 1]);
%! assert (linsvm_fit (X, y, "biasmult", -1, "seed", 3), linsvm_fit (X, y, "biasmult", 0, "seed", 3), 0);
%! assert (linsvm_fit (zeros (3, 0), zeros (1, 0), "seed", 3), zeros (4, 1));
%!test
%! % Out-of-range options are corrected, with a printed note.
%! X = [1 2 -1 -2; 2 1 -2 -1];
%! y = [1 1 -1 -1];
%! printed = evalc ("w = linsvm_fit (X, y, 'nbite', 0, 'seed', 4);");
%! assert (printed, "nbite > 0 , force to 20*N\n");
%! assert (w, linsvm_fit (X, y, "nbite", 80, "seed", 4), 0);
%! printed = evalc ("w = linsvm_fit (X, y, 'lambda', -1, 'seed', 4);");
%! assert (printed, "lambda >= 0, force to 1/N\n");
%! assert (w, linsvm_fit (X, y, "lambda", 0.25, "seed", 4), 0);
%! printed = evalc ("w = linsvm_fit (X, y, 'seed', 0);");
%! assert (printed, "seed >= 1 , force to NULL (random seed)\n");
%! assert (size (w), [3 1]);
%!warning id=linsvm_fit:unusualLabels linsvm_fit ([1 2 3 4], [0 1 0 1], "seed", 1);
%!warning <2 of the 4 labels are not -1 or \+1 after truncation toward zero> linsvm_fit ([1 2 3 4], [0 1 0 1], "seed", 1);
%!error id=linsvm_fit:invalidX linsvm_fit ()
%!error id=linsvm_fit:invalidX linsvm_fit (int8 ([1 2]), [1 -1])
%!error <X must be \(d x N\) in double format> linsvm_fit ("text", [1 -1 1 -1])
%!error id=linsvm_fit:invalidY linsvm_fit (ones (2, 3))
%!error id=linsvm_fit:invalidY linsvm_fit (ones (2, 3), [1 -1])
%!error id=linsvm_fit:invalidOption linsvm_fit (ones (2, 3), [1 -1 1], struct ("lambda", "big"))
%!error <unknown option 'speed'> linsvm_fit (ones (2, 3), [1 -1 1], "speed", 1)
%!error <option 'seed' has no value> linsvm_fit (ones (2, 3), [1 -1 1], "seed")
%!error <option name at argument 5 must be text> linsvm_fit (ones (2, 3), [1 -1 1], "seed", 1, 2, 3)
%!error id=linsvm_fit:invalidOption linsvm_fit (ones (2, 3), [1 -1 1], "nbite", {5})
