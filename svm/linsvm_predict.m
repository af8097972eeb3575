% LINSVM_PREDICT  Labels and scores of examples under models of linsvm_fit.
%
%   [label, score] = linsvm_predict(w, X)
%   [label, score] = linsvm_predict(w, X, biasmult)
%   [label, score] = linsvm_predict(w, X, biasmult, classes)
%   [label, score] = linsvm_predict(w, X, info)
%
%   Without info (or biasmult and classes) there are no class labels: on the
%   K models of a call with classes, linsvm_predict(w, X) gives each model's
%   own +1/-1 labels (K x N). For the class of each example, as LIBLINEAR's
%   predict gives it, pass info: linsvm_predict(w, X, info).
%
%   w is what linsvm_fit returned: a column of d weights, followed by the
%   bias weight when biasmult > 0, or one such column per model (d(+1) x M,
%   or d(+1) x K x L for K classes and L values of lambda). X is d x N, one
%   example per column. info, linsvm_fit's second output, gives biasmult and
%   the classes; without it biasmult is 1 when w has d + 1 rows and 0 when it
%   has d.
%
%   score is M x N, M the number of models (the columns of w(:, :)):
%     score = w(1:d, :)' * X + w(d + 1, :)' * biasmult
%   label is, without classes, +1 where the score is above 0 and -1
%   elsewhere (M x N); with K classes, the class whose model scores highest
%   (the first of equal ones), L x N, one row per value of lambda.
%
%   Errors (identifier: message):
%     linsvm_predict:invalidArgument biasmult must be a real scalar ...
%     linsvm_predict:invalidSize     w must have d or d + 1 rows for X of d rows ...
%     linsvm_predict:invalidClasses  classes must have one element per class model ...
%
%   Example:
%     X = [randn(2, 30) + [3; 0], randn(2, 30) - [3; 0], randn(2, 30) + [0; 4]];
%     y = [ones(1, 30), 2 * ones(1, 30), 3 * ones(1, 30)];
%     [w, info] = linsvm_fit(X, y, 'classes', true, 'nbite', 5000, 'seed', 1);
%     predicted = linsvm_predict(w, X, info);
%     accuracy = mean(predicted == y)
%
%   See also LINSVM_FIT.

function [label, score] = linsvm_predict (w, X, biasmult, classes)
  if (nargin < 2 || nargin > 4)
    print_usage ();
  end
  d = rows (X);
  if (nargin < 3)
    biasmult = double (rows (w) == d + 1);
    classes = [];
  elseif (isstruct (biasmult))
    if (nargin > 3)
      error ("linsvm_predict:invalidClasses", "linsvm_predict: give the classes or info, not both");
    end
    classes = biasmult.classes;
    biasmult = biasmult.biasmult;
  elseif (nargin < 4)
    classes = [];
  end
  if (! ((isnumeric (biasmult) || islogical (biasmult)) && isreal (biasmult) && isscalar (biasmult)))
    error ("linsvm_predict:invalidArgument", ...
           ["linsvm_predict: biasmult must be a real scalar (here %s of %d elements); ", ...
            "the calls are linsvm_predict (w, X, info) or linsvm_predict (w, X, biasmult, classes)"], ...
           class (biasmult), numel (biasmult));
  end
  has_bias = biasmult > 0;
  if (! isnumeric (w) || ndims (X) > 2 || rows (w) != d + has_bias)
    error ("linsvm_predict:invalidSize", ...
           "linsvm_predict: w must have d or d + 1 rows for X of d rows (here %d and %d, biasmult %g)", ...
           rows (w), d, biasmult);
  end
  models = w(:, :);
  score = models(1:d, :)' * X;
  if (has_bias)
    score += models(d + 1, :)' * biasmult;
  end
  if (isempty (classes))
    label = 2 * (score > 0) - 1;
    return;
  end
  K = numel (classes);
  if (mod (columns (models), K) != 0 || (ndims (w) > 2 && size (w, 2) != K))
    error ("linsvm_predict:invalidClasses", ...
           "linsvm_predict: classes must have one element per class model (%d classes for %d models)", ...
           K, columns (models));
  end
  L = columns (models) / K;
  label = zeros (L, columns (X));
  for l = 1:L
    [~, best] = max (score((l - 1) * K + (1:K), :), [], 1);
    label(l, :) = classes(best);
  end
end

%!test
%! % Scores by the formula; labels by their sign, a score of 0 giving -1.
%! w = [1; -2; 0.5];
%! X = [1 0 2; 0 1 1];
%! [label, score] = linsvm_predict (w, X);
%! assert (score, [1.5, -1.5, 0.5]);
%! assert (label, [1 -1 1]);
%! [label, score] = linsvm_predict (w, X, 2);
%! assert (score, [2 -1 1]);
%! assert (linsvm_predict (w(1:2), X, 0), [1 -1 -1]);
%! assert (linsvm_predict ([1; -1], [1 2; 1 2]), [-1 -1]);
%!test
%! % Classes: the class of the highest score, per value of lambda.
%! w = cat (3, [1 0 -1; 0 1 0], [0 1 0; 1 0 -1]);   % d = 2, no bias, K = 3, L = 2
%! X = [2 0; 1 3];
%! assert (linsvm_predict (w, X, 0, [10 20 30]), [10 20; 20 10]);
%! info = struct ("biasmult", 0, "classes", [10 20 30]);
%! [label, score] = linsvm_predict (w, X, info);
%! assert (size (score), [6 2]);
%! assert (label, [10 20; 20 10]);
%!test
%! % The documented example, with models of linsvm_fit.
%! randn ("state", 2);
%! X = [randn(2, 30) + [3; 0], randn(2, 30) - [3; 0], randn(2, 30) + [0; 4]];
%! y = [ones(1, 30), 2 * ones(1, 30), 3 * ones(1, 30)];
%! [w, info] = linsvm_fit (X, y, "classes", true, "nbite", 5000, "seed", 1);
%! [label, score] = linsvm_predict (w, X, info);
%! assert (size (score), [3 90]);
%! assert (score, w(1:2, :)' * X + w(3, :)', 1e-12);
%! assert (mean (label == y) > 0.9);
%! % Without info: each of the 3 class models' own +1/-1 labels.
%! assert (linsvm_predict (w, X), 2 * (score > 0) - 1);
%!error <linsvm_predict \(w, X, info\) or linsvm_predict \(w, X, biasmult, classes\)> linsvm_predict (ones (3, 2), ones (2, 2), [1 2])
%!error id=linsvm_predict:invalidArgument linsvm_predict (ones (3, 1), ones (2, 2), "1")
%!error id=linsvm_predict:invalidArgument linsvm_predict (ones (3, 1), ones (2, 2), 1i)
%!error id=linsvm_predict:invalidSize linsvm_predict (ones (3, 1), ones (4, 2))
%!error id=linsvm_predict:invalidSize linsvm_predict (ones (3, 1), ones (2, 2), 0)
%!error id=linsvm_predict:invalidClasses linsvm_predict (ones (2, 4), ones (2, 2), 0, [1 2 3])
