% A grid of models split across processes with the parallel package
% (parcellfun): the pieces are the same bits as one call of the whole grid.

%!test
%! pkg load parallel
%! randn ("state", 4);
%! X = randn (20, 300);
%! y = sign (X(1, :) + randn (1, 300));
%! y(y == 0) = 1;
%! lambdas = logspace (-4, -1, 6);
%! fold = mod (0:299, 3) + 1;
%! saved = getenv ("MEX_KERNELS_THREADS");
%! unwind_protect
%!   [whole, info] = linsvm_fit (X, y, "lambda", lambdas, "folds", fold, "seed", 9, "nbite", 3000);
%!   setenv ("MEX_KERNELS_THREADS", "1");
%!   pieces = parcellfun (2, @(l) linsvm_fit (X, y, "lambda", l, "seed", 9, "nbite", 3000), ...
%!                        num2cell (lambdas), "UniformOutput", false, "VerboseLevel", 0);
%!   % A fold elsewhere: the call on the other folds' examples.
%!   folds = parcellfun (2, @(k) linsvm_fit (X(:, fold != k), y(fold != k), "lambda", lambdas, "seed", 9, ...
%!                                           "nbite", 3000), ...
%!                       {1, 2, 3}, "UniformOutput", false, "VerboseLevel", 0);
%! unwind_protect_cleanup
%!   setenv ("MEX_KERNELS_THREADS", saved);
%! end_unwind_protect
%! assert ([pieces{:}], whole, 0);
%! for k = 1:3
%!   score = folds{k}(1:20, :)' * X(:, fold == k) + folds{k}(21, :)';
%!   assert (info.cv.error(k, :), mean (y(fold == k) .* score <= 0, 2)', 0);
%! end
