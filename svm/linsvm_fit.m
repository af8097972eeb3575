% LINSVM_FIT  Train a linear two-class classifier (hinge loss, L2 regularisation).
%
%   w = linsvm_fit(X, y)
%   w = linsvm_fit(X, y, options)
%   w = linsvm_fit(X, y, 'name', value, ...)
%   [w, info] = linsvm_fit(...)
%
%   Many models in one call (see "Many models" below): a lambda path
%   (lambda or C a vector), one-vs-rest classes ('classes') and
%   cross-validation ('folds'); linsvm_predict scores and labels examples.
%
%   X is a d x N real double or single matrix, one example per column (a
%   single X is widened to double exactly, so it gives what double(X) gives,
%   bit for bit, with half the memory), or a sparse double or logical matrix
%   (logical values read as 0 and 1): a step then costs time in proportion
%   to the drawn example's non-zeros rather than to d, and training makes
%   the same draws as on full(X), with the same weights up to the rounding
%   of operations done in another order. Complex X is an error.
%
%   y is a 1 x N real double row of labels, +1 or -1 (each label is
%   truncated toward zero, so 0.7 counts as 0 and -1.9 as -1). w is a column
%   of d doubles, followed by the bias weight when biasmult > 0; classify an
%   example x by the sign of w(1:d)' * x + w(d+1) * biasmult.
%
%   Labels other than -1 and +1 after truncation (0/1 labels, say) train a
%   worse model; they raise the warning linsvm_fit:unusualLabels, saying how
%   many there are, and are used as they are. warning('off',
%   'linsvm_fit:unusualLabels') silences it.
%
%   Training minimises lambda/2 * |w|^2 + mean(c .* max(0, 1 - y .* (w' * X)))
%   (c the example weights, 1 by default) by nbite stochastic sub-gradient
%   steps of size 1/(t*lambda), t = startstep+1, startstep+2, ..., each on
%   one example drawn uniformly with replacement, with projection onto the
%   ball of radius sqrt(mean(c))/sqrt(lambda). The same seed, data and
%   options always give the same w.
%
%   options is a structure with any of these fields (field names exactly as
%   written here), or the same options as name/value pairs (names
%   case-insensitive; a later pair overrides an earlier one). A missing
%   field or name, an empty value or an empty options argument keeps the
%   default. A structure field that is not an option ('Lambda', 'lamda') is
%   ignored with the warning linsvm_fit:unknownOption, which names it and
%   the option it differs from only in case, if any; a third argument that
%   is neither a structure nor text is ignored with the warning
%   linsvm_fit:ignoredArgument (the defaults apply). After a structure (or
%   any other third argument that is not an option name) nothing more may
%   follow.
%
%     lambda    regularisation weight, or a vector of them (a path: w gets
%               a column per value). Default 0.01. A negative value prints
%               "lambda >= 0, force to 1/N" and becomes 1/N. lambda = 0
%               gives a vector of NaN.
%     C         instead of lambda, as other linear SVM tools take it (LIBLINEAR's
%               -c): lambda = 1/(C N), C finite and > 0, a scalar or a
%               vector. Giving both is an error.
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
%     weights   N finite weights >= 0, one per example (double or single,
%               row or column), or N x K, a column per class with
%               'classes'. An example's update is scaled by its weight and
%               the projection radius by sqrt(mean(weights)). Default: all
%               1, which gives exactly the unweighted result. Class
%               weights: weights = 1 + (cost - 1) * (y > 0), say.
%     w0        starting weights, to continue a run: as many finite numbers
%               as a model has (d, plus 1 with the bias weight), double or
%               single; with many models, one column for all or a column
%               per model.
%               Default: zeros. Give startstep with it: the step size
%               1/(t*lambda) makes step t = 1 shrink the weights by 1 -
%               lambda/lambda = 0, so a run from startstep 0 forgets w0 at
%               its first step (the warning linsvm_fit:w0Ignored says so).
%     startstep the number of steps already made, a whole number from 0 to
%               2^53: steps are counted startstep + 1, startstep + 2, ...,
%               so the step size continues its schedule. Default 0.
%     verbose   true (or a positive number): a line when training starts,
%               a progress line about once a second (steps made, share done,
%               steps per second, time left) and a line at the end. Default
%               false: nothing else is printed.
%     interrupt 'error' (default): Ctrl-C ends the call with the error
%               linsvm_fit:interrupted. 'return': Ctrl-C ends training and
%               the call returns w of the steps made, with info.interrupted
%               true and info.state the sampler state of those steps, so a
%               long run can be stopped when it is good enough and
%               continued later with 'w0', w, 'startstep', info.startstep +
%               info.steps, 'seed', info.state.
%     classes   one-vs-rest: true trains a model per distinct label of y
%               (ascending; NaN is refused), or a vector lists the classes
%               to train, in the order of the models. Each model's examples
%               of its class count +1, all others -1; it equals, bit for
%               bit, the two-class call on y relabelled so. false: one
%               model, as without the option.
%     folds     cross-validation: a whole number F from 2 to N (example j,
%               counted from 1, is in fold mod(j - 1, F) + 1), or N fold
%               numbers from 1 to F (to stratify or group; each fold must
%               hold an example). Every model is also trained on each
%               fold's complement and scored on the fold (info.cv); w holds
%               the models trained on all examples.
%     average   averaged iterates: false (default) returns the last
%               iterate; true returns the mean of the weight vectors after
%               each of the last floor(nbite/2) steps; a whole number k >= 0
%               the mean of those after each step t > k (t counted as the
%               step size counts it, startstep + 1, startstep + 2, ...).
%               The last iterate of stochastic steps is noisy: the mean
%               usually classifies better and depends less on nbite.
%               info.last holds the last iterate (continue a run from it,
%               not from w) and info.averaged the count; with no step after
%               k, w is the last iterate and info.averaged 0. The mean is
%               kept as the steps go (the scales of the steps summed while
%               w stays as it is, that sum times w added to a stored sum
%               before w next changes), with no second pass per step.
%
%   Many models: with L values of lambda (or C) and K classes, w is
%   d(+1) x L, or d(+1) x K x L (class first), and each model is, bit for
%   bit, its one-model call with the same seed and options (the call on a
%   fold's complement for a fold model; there a corrected lambda is 1/n and
%   C gives 1/(C n), and a corrected nbite 20 n, for the n examples the fold
%   trains on). The models run together on MEX_KERNELS_THREADS threads
%   (default: every core): models that draw the same examples step
%   together and read each drawn example once. The results are the same at
%   every thread count. The info figures of a model (violations, objective,
%   loss, regularizer) become rows, one element per model in the order of
%   the columns of w(:, :); seed and state are those of the models on all
%   examples, so a later call goes on as after a one-model call.
%
%   Scalar option values may be of any real numeric or logical class; a
%   text, cell, structure, complex or sparse value is an error. Corrections
%   are printed in the order lambda, nbite, seed, after every option has
%   been checked.
%
%   A run continues where an earlier one stopped, draws included, with
%     [w2, info2] = linsvm_fit(X, y, 'w0', w, 'startstep', info.nbite, ...
%                              'seed', info.state)
%   (add info.startstep to startstep when the earlier run itself continued
%   one; with 'average', pass info.last as w0). Two runs of n steps made that way end within a few units in the
%   last place of one run of 2n steps (the scale factor the solver keeps
%   apart is folded into w at the end of each run).
%
%   info, the second output, is computed only when it is asked for (its
%   figures per model are rows with many models):
%     seed        the sampler state the call started from: the seed, or the
%                 one drawn from the clock (uint32, so that it prints as the
%                 whole number it is). Passing it as the seed repeats the
%                 call bit for bit.
%     state       the sampler state at the end (uint32). Passing it as the
%                 seed continues the same sequence of draws.
%     lambda, biasmult, nbite, startstep   the values in force after
%                 corrections.
%     steps       how many steps were made: nbite, or fewer when Ctrl-C
%                 stopped the call ('interrupt', 'return').
%     violations  how many steps violated the margin (and updated w).
%     regularizer lambda/2 * |w|^2, the bias weight included.
%     loss        mean over the examples of weight * max(0, 1 - y * score),
%                 score = w(1:d)' * x + w(d+1) * biasmult, labels truncated
%                 as the solver reads them (0 when N = 0).
%     objective   regularizer + loss.
%     seconds     wall time of the call.
%     interrupted true when Ctrl-C stopped the call ('interrupt', 'return');
%                 objective, loss and regularizer are then NaN if it stopped
%                 the pass that computes them.
%     classes     the classes of the one-vs-rest models ([] without them).
%     averaged    how many iterates w averages (0 without 'average').
%     last        with 'average': the last iterates, d(+1) x (models) ([]
%                 without); objective, loss and regularizer describe w.
%     cv          with folds: loss and error (F x M, a row per fold, a
%                 column per model): the loss as info.loss defines it
%                 (weights included) and the error rate (a score of 0
%                 counts as an error) of each fold model on its fold's
%                 examples; count (F x 1), the fold's examples; meanloss
%                 and meanerror (1 x M), the means over the folds. [] without
%                 folds. Pick lambda from them: the model is already in w.
%   The loss costs one more pass over X; w and the sampler state are the
%   same with one output or two.
%
%   Ctrl-C stops a running call within milliseconds (the prompt is back
%   0.05 to 0.2 s after the key). With the default, 'interrupt',
%   'error', the call ends with the error linsvm_fit:interrupted, saying how
%   many steps were made; the sampler keeps their state and the session goes
%   on. With 'interrupt', 'return' the call returns w of the steps made, with
%   info.interrupted true, and the rest of the line runs. A second Ctrl-C
%   after the call has returned stops only what runs then. In Octave, SIGTERM (a batch
%   scheduler's stop) ends the session as promptly as when idle. In a host
%   that offers neither Octave's nor MATLAB's interrupt flag the call runs to
%   its end. Tested in Octave only: the MATLAB route (utIsInterruptPending)
%   is written from its documentation and untested.
%
%   The sampler keeps its state between calls while the module stays
%   loaded, so unseeded calls within the same second still differ;
%   "clear linsvm_fit" resets it.
%
%   Errors (identifier: message):
%     linsvm_fit:invalidX       X must be (d x N) in double format
%         X missing, not double, single, sparse double or sparse logical,
%         or more than 2^31-1 rows or columns.
%     linsvm_fit:invalidX       X must be real: complex X (dense or sparse)
%                               is not accepted; ...
%         a complex X.
%     linsvm_fit:invalidX       X is a sparse matrix whose structure is
%                               damaged ...
%         row indices out of range or column offsets out of order (only a
%         MEX caller can build such a matrix).
%     linsvm_fit:invalidY       y must be (1 x N) in double format
%         y missing, not double, sparse, complex, its column count is not
%         N, or it holds fewer than N elements.
%     linsvm_fit:invalidOption  <name> must be a real number
%         a scalar option value that is text, a cell, a structure, complex
%         or sparse.
%     linsvm_fit:invalidOption  weights must be <N> finite numbers >= 0 (double or single), one per example
%     linsvm_fit:invalidOption  w0 must be <n> finite numbers (double or single), as many as w has
%     linsvm_fit:invalidOption  startstep must be a whole number from 0 to 2^53
%     linsvm_fit:invalidOption  verbose must be true, false or a number >= 0
%     linsvm_fit:invalidOption  interrupt must be 'error' or 'return'
%     linsvm_fit:invalidOption  average must be true, false or a whole number of steps from 0 to 2^53
%     linsvm_fit:invalidOption  give lambda or C, not both (lambda = 1/(C N))
%     linsvm_fit:invalidOption  C must be finite numbers > 0
%     linsvm_fit:invalidOption  classes must be true, false or the class labels to train, as numbers
%     linsvm_fit:invalidOption  classes: <c> is no label of y (no example of that class)
%     linsvm_fit:invalidOption  classes must be distinct
%     linsvm_fit:invalidOption  classes: NaN is no class (also: y holds NaN, which is no class)
%     linsvm_fit:invalidOption  folds must be a whole number F from 2 to N (<N>), or N fold numbers from 1 to F, each fold holding an example
%     linsvm_fit:invalidOption  unknown option '<name>' (lambda, C, biasmult, nbite, seed, weights, w0, startstep, verbose, interrupt, classes, folds or average)
%     linsvm_fit:invalidOption  option '<name>' has no value
%     linsvm_fit:invalidOption  option name at argument <k> must be text
%         name/value pairs with an unknown name, a name without a value,
%         or a name that is not text.
%     linsvm_fit:tooManyArguments  too many arguments (<n>): options are one structure, or name/value pairs from the third argument on
%     linsvm_fit:busy           linsvm_fit was called while a call of it is running (...)
%         from a callback that the host ran while the running call
%         flushed its progress output (MATLAB timers).
%     linsvm_fit:interrupted    interrupted by the user while training, after <k> of <nbite> steps
%         Ctrl-C (also "while evaluating the objective").
%     linsvm_fit:outOfMemory    out of memory for the result
%         the system refused the memory of w.
%     linsvm_fit:outOfMemory    out of memory
%         the module's own memory refused.
%
%   Warnings (identifier: message):
%     linsvm_fit:unusualLabels  <n> of the <N> labels are not -1 or +1 after truncation toward zero
%     linsvm_fit:unknownOption  field '<name>' of the options structure is not an option and is ignored ...
%     linsvm_fit:ignoredArgument  the third argument is neither an options structure nor an option name, and is ignored: the defaults apply
%     linsvm_fit:w0Ignored      w0 is forgotten at the first step when startstep is 0 ...
%         a non-zero w0 with startstep 0 (see w0).
%     linsvm_fit:nonFiniteX     <k> of the <n> steps drew an example whose score is NaN or infinite ...
%         examples holding NaN or Inf (or values so large that the score
%         overflows): such a step never trains as meant. Not raised for
%         lambda = 0, whose weights are NaN by design.
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
%   Hard-negative mining: train, score a pool of negatives, add the ones
%   scored highest, and continue the run where it stopped:
%     P = randn(2, 50) + 3;  pool = randn(2, 5000);
%     X = [P, pool(:, 1:200)];  y = [ones(1, 50), -ones(1, 200)];
%     [w, info] = linsvm_fit(X, y, 'nbite', 2000, 'seed', 1, ...
%                            'weights', 1 + 4 * (y > 0));
%     for round = 1:3
%       scores = w(1:2)' * pool + w(3);
%       [~, hardest] = sort(scores, 'descend');
%       X = [X, pool(:, hardest(1:50))];  y = [y, -ones(1, 50)];
%       steps = info.startstep + info.nbite;
%       [w, info] = linsvm_fit(X, y, 'nbite', 2000, 'w0', w, 'startstep', steps, ...
%                              'seed', info.state, 'weights', 1 + 4 * (y > 0));
%     end
%
%   Many models: one-vs-rest classes, lambda chosen by cross-validation:
%     X = [randn(2, 30) + [3; 0], randn(2, 30) - [3; 0], randn(2, 30) + [0; 4]];
%     y = [ones(1, 30), 2 * ones(1, 30), 3 * ones(1, 30)];
%     [w, info] = linsvm_fit(X, y, 'classes', true, 'lambda', [1e-1 1e-2 1e-3], ...
%                            'folds', 5, 'nbite', 5000, 'seed', 1);
%     [~, best] = min(mean(reshape(info.cv.meanerror, 3, 3), 1));  % mean over classes
%     label = linsvm_predict(w(:, :, best), X, info);
%
%   See also LINSVM_PREDICT, SCALE_BILINEAR, LUMA_U8.

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
%!error <average must be true, false or a whole number> linsvm_fit ([1 2], [1 -1], "average", -3)
%!error <X must be real: complex X> linsvm_fit (sparse ([1i 2]), [1 -1])
%!assert (linsvm_fit (sparse ([1 0; 0 1]), [1 -1], "seed", 7, "nbite", 4), linsvm_fit ([1 0; 0 1], [1 -1], "seed", 7, "nbite", 4), 1e-12)
%!error <X must be \(d x N\) in double format> linsvm_fit ("text", [1 -1 1 -1])
%!error id=linsvm_fit:invalidY linsvm_fit (ones (2, 3))
%!error id=linsvm_fit:invalidY linsvm_fit (ones (2, 3), [1 -1])
%!error id=linsvm_fit:invalidOption linsvm_fit (ones (2, 3), [1 -1 1], struct ("lambda", "big"))
%!error <unknown option 'speed'> linsvm_fit (ones (2, 3), [1 -1 1], "speed", 1)
%!error <option 'seed' has no value> linsvm_fit (ones (2, 3), [1 -1 1], "seed")
%!error <option name at argument 5 must be text> linsvm_fit (ones (2, 3), [1 -1 1], "seed", 1, 2, 3)
%!error id=linsvm_fit:invalidOption linsvm_fit (ones (2, 3), [1 -1 1], "nbite", {5})
%!warning id=linsvm_fit:unknownOption linsvm_fit (ones (2, 3), [1 -1 1], struct ("Lambda", 0.1, "seed", 1));
%!warning id=linsvm_fit:ignoredArgument linsvm_fit (ones (2, 3), [1 -1 1], 0.5);
%!warning id=linsvm_fit:w0Ignored linsvm_fit (ones (2, 3), [1 -1 1], "w0", [1 2 3], "seed", 1);
%!warning id=linsvm_fit:nonFiniteX linsvm_fit ([1 2; NaN 3], [1 -1], "seed", 1);
%!error id=linsvm_fit:tooManyArguments linsvm_fit (ones (2, 3), [1 -1 1], struct ("seed", 1), 2)
%!error <interrupt must be 'error' or 'return'> linsvm_fit (ones (2, 3), [1 -1 1], "interrupt", "stop")
%!test
%! [~, info] = linsvm_fit (1:10, ones (1, 10), "nbite", 10, "seed", 1);
%! assert ({info.seed, info.state, info.interrupted}, {uint32(1), uint32(3865031728), false});
%!test
%! % Many models: classes times lambdas, each its one-model call; folds.
%! X = [1 2 -1 -2 0 1; 2 1 -2 -1 3 -3];
%! y = [1 1 2 2 3 3];
%! [w, info] = linsvm_fit (X, y, "classes", true, "lambda", [0.1 0.01], "folds", 2, "seed", 1);
%! assert (size (w), [3 3 2]);
%! assert (w(:, 2, 1), linsvm_fit (X, 2 * (y == 2) - 1, "lambda", 0.1, "seed", 1), 0);
%! assert (size (info.cv.loss), [2 6]);
%! assert (info.classes, [1 2 3]);
