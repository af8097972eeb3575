% Tests of linsvm_fit called from the host. Run with:
%   octave-cli tests/host/run_octave_test.m build/mex tests/svm/linsvm_fit_host_test.m

%!shared X10, y10, Xd, yd
%! X10 = 1:10;
%! y10 = ones (1, 10);
%! Xd = [cos(1:40); sin(2 * (1:40)); mod(1:40, 7) - 3];
%! yd = 2 * (mod (1:40, 3) == 0) - 1;

%!function w = fit_quiet (varargin)
%!  printed = evalc ("w = linsvm_fit (varargin{:});");
%!  assert (printed, "");
%!endfunction

%!function [texts, w, info] = warnings_of (varargin)
%!  % Calls linsvm_fit (varargin{:}); texts are the warnings it shows, in
%!  % order, without "linsvm_fit: ".
%!  printed = evalc ("[w, info] = linsvm_fit (varargin{:});");
%!  texts = regexp (printed, '(?<=^warning: linsvm_fit: )[^\n]*', "match", "lineanchors");
%!endfunction

%!function [w, info] = fit_quiet_two (varargin)
%!  warning ("off", "linsvm_fit:unusualLabels", "local");
%!  printed = evalc ("[w, info] = linsvm_fit (varargin{:});");
%!  assert (printed, "");
%!endfunction

## Worked examples, to the last bit.
%!test
%! w = linsvm_fit (X10, y10, struct ("nbite", 10, "seed", 1));
%! assert (w, [0.9863939238321435; 0.16439898730535726], 0);
%!test
%! w = linsvm_fit ([1 0; 0 1], [1 -1], struct ("lambda", 0.1, "biasmult", 1, "nbite", 4, "seed", 7));
%! assert (w, [1.2298768828510729; -0.2750088314010544; 0.9548680514500184], 0);
%!test
%! w = linsvm_fit (2, 1, struct ("nbite", 1, "seed", 3));
%! assert (w, [8.94427190999916; 4.47213595499958], 1e-14);

## Defaults, and the forms of the options argument.
%!test
%! defaults = struct ("lambda", 0.01, "biasmult", 1, "nbite", 100, "seed", 5);
%! expected = linsvm_fit (Xd, yd, defaults);
%! assert (size (expected), [4 1]);
%! assert (fit_quiet (Xd, yd, struct ("seed", 5)), expected, 0);
%!test
%! % Without a seed the clock seeds the sampler; only shapes and silence can be compared.
%! assert (size (fit_quiet (Xd, yd)), [4 1]);
%! assert (size (fit_quiet (Xd, yd, [])), [4 1]);
%! assert (size (fit_quiet (Xd, yd, struct ())), [4 1]);
%!test
%! % Empty field values keep the defaults.
%! expected = linsvm_fit (Xd, yd, struct ("seed", 8));
%! assert (fit_quiet (Xd, yd, struct ("lambda", [], "biasmult", zeros (0, 3), "nbite", {{}}, "seed", 8)), expected, 0);
%!test
%! % Only element 0 of a structure array is read.
%! options = struct ("seed", {8, 9});
%! assert (linsvm_fit (Xd, yd, options), linsvm_fit (Xd, yd, struct ("seed", 8)), 0);

## biasmult.
%!test
%! assert (size (linsvm_fit (Xd, yd, struct ("biasmult", 0, "seed", 2))), [3 1]);
%! assert (linsvm_fit (Xd, yd, struct ("biasmult", -2, "seed", 2)), linsvm_fit (Xd, yd, struct ("biasmult", 0, "seed", 2)), 0);
%! assert (linsvm_fit (Xd, yd, struct ("biasmult", NaN, "seed", 2)), linsvm_fit (Xd, yd, struct ("biasmult", 0, "seed", 2)), 0);
%! assert (size (linsvm_fit (Xd, yd, struct ("biasmult", 10, "seed", 2))), [4 1]);

## Truncation and corrections.
%!test
%! assert (fit_quiet (Xd, yd, struct ("nbite", 2.9, "seed", 4)), linsvm_fit (Xd, yd, struct ("nbite", 2, "seed", 4)), 0);
%! assert (fit_quiet (Xd, yd, struct ("seed", 3.7)), linsvm_fit (Xd, yd, struct ("seed", 3)), 0);
%! assert (fit_quiet (Xd, yd, struct ("seed", -1)), linsvm_fit (Xd, yd, struct ("seed", 4294967295)), 0);
%!test
%! N = columns (Xd);
%! printed = evalc ("w = linsvm_fit (Xd, yd, struct ('nbite', 0.5, 'seed', 4));");
%! assert (printed, "nbite > 0 , force to 20*N\n");
%! assert (w, linsvm_fit (Xd, yd, struct ("nbite", 20 * N, "seed", 4)), 0);
%! printed = evalc ("w = linsvm_fit (Xd, yd, struct ('lambda', -3, 'seed', 4));");
%! assert (printed, "lambda >= 0, force to 1/N\n");
%! assert (w, linsvm_fit (Xd, yd, struct ("lambda", 1 / N, "seed", 4)), 0);
%! for bad = {NaN, Inf, -Inf, 2^31, -7}
%!   printed = evalc ("linsvm_fit (Xd, yd, struct ('nbite', bad{1}, 'seed', 4));");
%!   assert (printed, "nbite > 0 , force to 20*N\n");
%! end
%!test
%! for bad = {0, 0.5, -0.9, NaN, Inf, 2^32, 2^63}
%!   printed = evalc ("w = linsvm_fit (Xd, yd, struct ('seed', bad{1}));");
%!   assert (printed, "seed >= 1 , force to NULL (random seed)\n");
%!   assert (size (w), [4 1]);
%! end
%!test
%! % All three messages, in the order lambda, nbite, seed, whatever the field order.
%! options = struct ("seed", 0, "nbite", -1, "biasmult", 1, "lambda", -1);
%! printed = evalc ("linsvm_fit (Xd, yd, options);");
%! assert (printed, ["lambda >= 0, force to 1/N\n", "nbite > 0 , force to 20*N\n", ...
%!                   "seed >= 1 , force to NULL (random seed)\n"]);
%!test
%! % lambda = 0 is taken as it is: a vector of NaN, silently.
%! w = fit_quiet (Xd, yd, struct ("lambda", 0, "seed", 1));
%! assert (all (isnan (w)));

## Option values of other classes.
%!test
%! expected = linsvm_fit (Xd, yd, struct ("nbite", 500, "lambda", double (single (0.1)), "biasmult", 1, "seed", 6));
%! options = struct ("nbite", int32 (500), "lambda", single (0.1), "biasmult", true, "seed", uint8 (6));
%! assert (linsvm_fit (Xd, yd, options), expected, 0);
%!test
%! for name = {"lambda", "biasmult", "nbite", "seed"}
%!   for bad = {"text", {1}, struct("a", 1), 1 + 2i, sparse(1)}
%!     options = struct (name{1}, bad);
%!     expect_error (@() linsvm_fit (Xd, yd, options), "linsvm_fit:invalidOption", [name{1} " must be a real number\n"]);
%!   end
%! end

## Name/value options: the same options as the structure gives, to the bit.
%!test
%! expected = linsvm_fit (Xd, yd, struct ("lambda", 0.05, "biasmult", 2, "nbite", 300, "seed", 9));
%! assert (fit_quiet (Xd, yd, "lambda", 0.05, "biasmult", 2, "nbite", 300, "seed", 9), expected, 0);
%! assert (fit_quiet (Xd, yd, "SEED", 9, "NBite", 300, "Lambda", 0.05, "biasMult", 2), expected, 0);
%! % A later pair overrides an earlier one; an empty value keeps the default.
%! assert (fit_quiet (Xd, yd, "seed", 1, "lambda", 0.05, "seed", 9, "biasmult", 2, "nbite", 300), expected, 0);
%! assert (fit_quiet (Xd, yd, "seed", 4, "lambda", []), linsvm_fit (Xd, yd, struct ("seed", 4)), 0);
%! assert (fit_quiet (Xd, yd, "seed", int8 (4), "nbite", single (100)), linsvm_fit (Xd, yd, struct ("seed", 4)), 0);
%!test
%! % Corrections and their messages as with the structure, in the order lambda, nbite, seed.
%! printed = evalc ("w = linsvm_fit (Xd, yd, 'seed', 0, 'nbite', -1, 'lambda', -1);");
%! assert (printed, ["lambda >= 0, force to 1/N\n", "nbite > 0 , force to 20*N\n", ...
%!                   "seed >= 1 , force to NULL (random seed)\n"]);
%! printed = evalc ("w = linsvm_fit (Xd, yd, 'nbite', 2.9, 'seed', 3.7);");
%! assert (printed, "");
%! assert (w, linsvm_fit (Xd, yd, struct ("nbite", 2, "seed", 3)), 0);
%!test
%! id = "linsvm_fit:invalidOption";
%! expect_error (@() linsvm_fit (Xd, yd, "lamda", 0.1), id, "unknown option 'lamda' (lambda, C, biasmult, nbite, seed, weights, w0, startstep, verbose, interrupt, classes, folds or average)\n");
%! expect_error (@() linsvm_fit (Xd, yd, "seed", 1, "nbite"), id, "option 'nbite' has no value\n");
%! % A name longer than the module reads shows how it begins, on every host.
%! long = ["lambda_", repmat("x", 1, 93)];
%! expect_error (@() linsvm_fit (Xd, yd, long, 1), id, ["unknown option '", long(1:60), "...' (lambda, C, biasmult, nbite, seed, weights, w0, startstep, verbose, interrupt, classes, folds or average)\n"]);
%! expect_error (@() linsvm_fit (Xd, yd, "seed", 1, 5, 2), id, "option name at argument 5 must be text\n");
%! expect_error (@() linsvm_fit (Xd, yd, "seed", "one"), id, "seed must be a real number\n");
%! % Nothing is printed by a call that fails, even with corrections pending.
%! printed = evalc ("try, linsvm_fit (Xd, yd, 'lambda', -1, 'nbit', 5); catch, end");
%! assert (printed, "");

## Labels other than -1 and +1: a warning that can be silenced, training unchanged.
%!test
%! lastwarn ("");
%! fit_quiet (Xd, yd, struct ("seed", 1));
%! fit_quiet (Xd, 1.5 * yd, struct ("seed", 1));
%! [text, id] = lastwarn ();
%! assert (id, "");
%! y01 = (yd + 1) / 2;
%! y01(1) = NaN;
%! warning ("off", "linsvm_fit:unusualLabels", "local");
%! expected = linsvm_fit (Xd, y01, struct ("seed", 1));
%! warning ("on", "linsvm_fit:unusualLabels", "local");
%! lastwarn ("");
%! w = linsvm_fit (Xd, y01, struct ("seed", 1));
%! [text, id] = lastwarn ();
%! assert (id, "linsvm_fit:unusualLabels");
%! unusual = nnz (fix (y01) != 1 & fix (y01) != -1);
%! % The whole text, without a newline at its end.
%! assert (regexprep (text, "^linsvm_fit: ", ""), ...
%!         sprintf ("%d of the 40 labels are not -1 or +1 after truncation toward zero", unusual));
%! assert (w, expected, 0);
%! % Silenced, nothing is shown (Octave 11 still records it for lastwarn).
%! warning ("off", "linsvm_fit:unusualLabels", "local");
%! assert (evalc ("linsvm_fit (Xd, y01, struct ('seed', 1));"), "");

## Single-precision X: exactly what its double copy gives (the draws and
## the stored sampler state are compared in the C++ tests).
%!test
%! shapes = {single(Xd), single(X10), single(zeros (3, 0)), single(rand (1, 7)), single(1e30 * randn (5, 9))};
%! for k = 1:numel (shapes)
%!   Xs = shapes{k};
%!   y = ones (1, columns (Xs));
%!   y(1:2:end) = -1;
%!   ws = linsvm_fit (Xs, y, struct ("seed", 11, "nbite", 400));
%!   wd = linsvm_fit (double (Xs), y, struct ("seed", 11, "nbite", 400));
%!   assert (class (ws), "double");
%!   assert (ws, wd, 0);
%! end

## Sparse X (double or logical): what full(X) gives, to rounding, with every
## option; the same draws, so the same sampler state and step counts.
%!test
%! X = sprandn (60, 300, 0.05);
%! X(:, 7) = 0;
%! X(:, 9) = 0;
%! X(5, 9) = 2;
%! y = 2 * (X(1, :) + 0.3 * randn (1, 300) > 0) - 1;
%! classes = 1 + mod (1:300, 3);
%! option_sets = {{}, {"biasmult", 0}, {"lambda", 1e-4, "nbite", 30000}, {"weights", 0.5 + rand(300, 1)}, ...
%!                {"w0", randn(61, 1), "startstep", 500}, {"lambda", [0.1 0.01 0.001]}, {"C", 1}, ...
%!                {"lambda", [0.01 0.001], "folds", 3}};
%! for k = 1:numel (option_sets)
%!   options = option_sets{k};
%!   [ws, is] = linsvm_fit (X, y, "seed", 9, options{:});
%!   [wd, id] = linsvm_fit (full (X), y, "seed", 9, options{:});
%!   assert (ws, wd, 1e-9 * max (abs (wd(:))));
%!   assert ([is.state, is.steps, is.violations(:)'], [id.state, id.steps, id.violations(:)']);
%!   assert ([is.objective(:); is.loss(:)], [id.objective(:); id.loss(:)], 1e-9);
%!   if (! isempty (id.cv))
%!     assert (is.cv.error, id.cv.error);
%!   end
%! end
%! ws = linsvm_fit (X, classes, "seed", 9, "classes", true);
%! assert (ws, linsvm_fit (full (X), classes, "seed", 9, "classes", true), 1e-9 * max (abs (ws(:))));
%! L = X > 0.5;
%! assert (issparse (L) && islogical (L));
%! assert (linsvm_fit (L, y, "seed", 9), linsvm_fit (double (full (L)), y, "seed", 9), 1e-12);
%!test
%! % Shapes without examples, features or non-zeros.
%! assert (linsvm_fit (sparse (3, 0), zeros (1, 0), "seed", 1), zeros (4, 1));
%! assert (linsvm_fit (sparse (0, 4), [1 -1 1 1], "seed", 1, "nbite", 50), linsvm_fit (zeros (0, 4), [1 -1 1 1], "seed", 1, "nbite", 50), 1e-12);
%! assert (linsvm_fit (sparse (5, 4), [1 -1 1 1], "seed", 1, "nbite", 50), linsvm_fit (zeros (5, 4), [1 -1 1 1], "seed", 1, "nbite", 50), 1e-12);
%! assert (linsvm_fit (sparse (2^20, 3), [1 -1 1], "seed", 1, "nbite", 5, "biasmult", 0), zeros (2^20, 1));
%! % The progress lines are the dense call's, but for the times.
%! strip = @(text) regexprep (text, '[0-9.e+]+ s|[0-9.e+]+ steps/s', '');
%! X = sprandn (30, 100, 0.1);
%! y = sign (randn (1, 100));
%! assert (strip (evalc ("linsvm_fit (X, y, 'seed', 2, 'verbose', true);")), ...
%!         strip (evalc ("linsvm_fit (full (X), y, 'seed', 2, 'verbose', true);")));

## Averaged iterates: the mean of the iterates after step k, each the result
## of a call stopped there; true takes the second half of the steps.
%!test
%! X = Xd;
%! y = yd;
%! iterate = @(t, varargin) linsvm_fit (X, y, "seed", 3, "nbite", t, varargin{:});
%! hinge_loss = @(w) mean (max (0, 1 - y .* (w(1:end-1)' * X + w(end))));
%! w0 = iterate (50);
%! % average: true over 21 steps (the last 10), 0 (all), 60 within a run continued from step 50.
%! cases = {{21, true, {}, 12:21}, {9, 0, {}, 1:9}, {30, 60, {"w0", w0, "startstep", 50}, 11:30}};
%! for c = cases
%!   [T, average, continued, kept] = c{1}{:};
%!   expected = 0;
%!   for t = kept
%!     expected += iterate (t, continued{:});
%!   end
%!   expected /= numel (kept);
%!   [w, info] = iterate (T, continued{:}, "average", average);
%!   assert (w, expected, 1e-14);
%!   assert (info.averaged, numel (kept));
%!   assert (info.last, iterate (T, continued{:}));
%!   assert (info.loss, hinge_loss (w), 1e-14);
%! end
%! % The default, false and an average after the last step: the last iterate.
%! [w, info] = iterate (40, "average", false);
%! assert (w, iterate (40), 0);
%! assert ([info.averaged, size(info.last)], [0 0 0]);
%! [w, info] = iterate (40, "average", 40);
%! assert ([w; info.averaged], [iterate(40); 0], 0);
%! [w, info] = linsvm_fit (zeros (3, 0), zeros (1, 0), "w0", [1 2 3 4], "startstep", 5, "average", true);
%! assert ([w, info.last], [1 1; 2 2; 3 3; 4 4]);
%! % Sparse X, classes, a path and folds: each model as its dense one-model call.
%! labels = 1 + mod (1:40, 3);
%! [w, info] = linsvm_fit (sparse (X), labels, "seed", 3, "classes", true, "lambda", [0.1 0.01], ...
%!                         "folds", 4, "average", true, "nbite", 300);
%! single_model = linsvm_fit (X, 2 * (labels == 2) - 1, "seed", 3, "lambda", 0.01, "average", true, "nbite", 300);
%! assert (w(:, 2, 2), single_model, 1e-12);
%! assert (size (info.last), [4 6]);
%! expect_error (@() linsvm_fit (X, y, "average", -1), "linsvm_fit:invalidOption", ...
%!               "average must be true, false or a whole number of steps from 0 to 2^53\n");
%! expect_error (@() linsvm_fit (X, y, "average", 2.5), "linsvm_fit:invalidOption", ...
%!               "average must be true, false or a whole number of steps from 0 to 2^53\n");

## Bad X and y.
%!test
%! xmsg = "X must be (d x N) in double format\n";
%! ymsg = "y must be (1 x N) in double format\n";
%! expect_error (@() linsvm_fit (), "linsvm_fit:invalidX", xmsg);
%! expect_error (@() linsvm_fit (Xd), "linsvm_fit:invalidY", ymsg);
%! expect_error (@() linsvm_fit (int8 (Xd), yd), "linsvm_fit:invalidX", xmsg);
%! expect_error (@() linsvm_fit (logical (Xd), yd), "linsvm_fit:invalidX", xmsg);
%! cmsg = "X must be real: complex X (dense or sparse) is not accepted; pass real(X), or split real and imaginary parts into features\n";
%! expect_error (@() linsvm_fit (complex (single (Xd)), yd), "linsvm_fit:invalidX", cmsg);
%! expect_error (@() linsvm_fit (complex (Xd), yd), "linsvm_fit:invalidX", cmsg);
%! expect_error (@() linsvm_fit (sparse (Xd) * 1i, yd), "linsvm_fit:invalidX", cmsg);
%! expect_error (@() linsvm_fit ({Xd}, yd), "linsvm_fit:invalidX", xmsg);
%! expect_error (@() linsvm_fit (Xd, single (yd)), "linsvm_fit:invalidY", ymsg);
%! expect_error (@() linsvm_fit (Xd, sparse (yd)), "linsvm_fit:invalidY", ymsg);
%! expect_error (@() linsvm_fit (Xd, complex (yd)), "linsvm_fit:invalidY", ymsg);
%! expect_error (@() linsvm_fit (Xd, yd'), "linsvm_fit:invalidY", ymsg);
%! expect_error (@() linsvm_fit (Xd, yd(1:end-1)), "linsvm_fit:invalidY", ymsg);
%! expect_error (@() linsvm_fit (Xd, zeros (0, columns (Xd))), "linsvm_fit:invalidY", ymsg);
%!test
%! % Only the column count of y is compared: extra rows are allowed, and the
%! % labels are its first N elements in storage order.
%! y2 = [yd; zeros(1, columns (yd))];
%! assert (linsvm_fit (Xd, y2, struct ("seed", 3)), linsvm_fit (Xd, reshape (y2, 1, [])(1:columns (Xd)), struct ("seed", 3)), 0);
%! assert (size (linsvm_fit (5, 1, struct ("seed", 1))), [2 1]);
%! assert (size (linsvm_fit (5, 1', struct ("seed", 1))), [2 1]);

## An X without columns: no steps, the zero vector.
%!test
%! assert (fit_quiet (zeros (3, 0), zeros (1, 0), struct ("seed", 1)), zeros (4, 1));
%! assert (fit_quiet (zeros (3, 0), zeros (1, 0), struct ("biasmult", 0)), zeros (3, 1));
%! printed = evalc ("w = linsvm_fit (zeros (3, 0), zeros (1, 0), struct ('nbite', 0));");
%! assert (printed, "nbite > 0 , force to 20*N\n");
%! assert (w, zeros (4, 1));
%! assert (linsvm_fit (zeros (0, 0), zeros (1, 0)), 0);

## The sampler state lives as long as the module stays loaded.
%!test
%! clear linsvm_fit
%! % After a fresh load the stored state is 0, so the clock alone seeds.
%! t0 = floor (time ());
%! w = linsvm_fit (Xd, yd, struct ("nbite", 30));
%! t1 = floor (time ());
%! candidates = arrayfun (@(t) {linsvm_fit(Xd, yd, struct ("nbite", 30, "seed", t))}, t0-1:t1);
%! assert (any (cellfun (@(c) isequal (c, w), candidates)));
%!test
%! % (The module's clock may lag Octave's by a moment after a second ticks
%! % over, so the second before t0 is a candidate too.)
%! % A seeded call stores the state it ends in (3865031728 for seed 1, ten steps
%! % on ten examples); a failed call changes nothing; the next unseeded call
%! % starts from the stored state XOR the clock.
%! linsvm_fit (X10, y10, struct ("nbite", 10, "seed", 1));
%! try
%!   linsvm_fit (X10, y10(1:9), struct ("nbite", 10, "seed", 99));
%! catch
%! end
%! t0 = floor (time ());
%! w = linsvm_fit (Xd, yd, struct ("nbite", 30));
%! t1 = floor (time ());
%! seeds = bitxor (3865031728, t0-1:t1);
%! candidates = arrayfun (@(s) {linsvm_fit(Xd, yd, struct ("nbite", 30, "seed", s))}, seeds);
%! assert (any (cellfun (@(c) isequal (c, w), candidates)));
%!test
%! % A call without examples still seeds and stores: the state stays the seed.
%! linsvm_fit (zeros (2, 0), zeros (1, 0), struct ("seed", 12345));
%! t0 = floor (time ());
%! w = linsvm_fit (Xd, yd, struct ("nbite", 30));
%! t1 = floor (time ());
%! candidates = arrayfun (@(s) {linsvm_fit(Xd, yd, struct ("nbite", 30, "seed", s))}, bitxor (12345, t0-1:t1));
%! assert (any (cellfun (@(c) isequal (c, w), candidates)));
%!test
%! % Two unseeded calls within the same second still differ.
%! for attempt = 1:5
%!   t0 = floor (time ());
%!   w1 = linsvm_fit (Xd, yd, struct ("nbite", 30));
%!   w2 = linsvm_fit (Xd, yd, struct ("nbite", 30));
%!   if (floor (time ()) == t0)
%!     break;
%!   end
%! end
%! assert (floor (time ()), t0);
%! assert (! isequal (w1, w2));

## The second output, checked by hand on the ten-example case: one step
## violates the margin (the first: W starts at zero), and every example then
## scores above 1, so the loss is 0.
%!test
%! [w, info] = linsvm_fit (X10, y10, struct ("nbite", 10, "seed", 1));
%! assert (w, [0.9863939238321435; 0.16439898730535726], 0);
%! % The sampler states are uint32, so that they print as the whole numbers they are.
%! assert ({info.seed, info.state}, {uint32(1), uint32(3865031728)});
%! assert ([info.lambda, info.biasmult, info.nbite, info.startstep, info.steps, info.violations], [0.01, 1, 10, 0, 10, 1]);
%! assert (info.interrupted, false);
%! assert (strtrim (evalc ("disp (info.state)")), "3865031728");
%! assert (info.loss, 0);
%! assert (info.regularizer, 0.01 / 2 * sumsq (w), eps);
%! assert (info.objective, info.loss + info.regularizer);
%! assert (info.seconds >= 0 && info.seconds < 10);
%! % The values in force after corrections; w and the stored state are the
%! % same bits with one output or two.
%! printed = evalc ("[w2, info2] = linsvm_fit (Xd, yd, struct ('lambda', -1, 'nbite', 0, 'seed', 5));");
%! assert ([info2.lambda, info2.nbite], [1 / 40, 800]);
%! [~, after_two] = linsvm_fit (Xd, yd, "seed", info2.state, "nbite", 1);
%! evalc ("w1 = linsvm_fit (Xd, yd, struct ('lambda', -1, 'nbite', 0, 'seed', 5));");
%! [~, after_one] = linsvm_fit (Xd, yd, "seed", info2.state, "nbite", 1);
%! assert (w1, w2, 0);
%! assert (after_one.state, after_two.state);
%! % The loss by its definition, labels truncated as the solver reads them.
%! y = yd;
%! y(1:3) = [0.5, -1.7, 2];
%! [w, info] = fit_quiet_two (Xd, y, "seed", 2, "weights", 1:40);
%! scores = w(1:3)' * Xd + w(4);
%! assert (info.loss, mean ((1:40) .* max (0, 1 - fix (y) .* scores)), 1e-12);
%!test
%! % info.seed repeats an unseeded call; info.state continues its draws.
%! [w, info] = linsvm_fit (Xd, yd, "nbite", 300);
%! assert (linsvm_fit (Xd, yd, "nbite", 300, "seed", info.seed), w, 0);
%! [~, half] = linsvm_fit (Xd, yd, "nbite", 150, "seed", info.seed);
%! [~, rest] = linsvm_fit (Xd, yd, "nbite", 150, "seed", half.state);
%! assert (rest.state, info.state);

## Example weights, starting weights and a starting step.
%!test
%! base = linsvm_fit (Xd, yd, "seed", 4, "nbite", 500);
%! assert (linsvm_fit (Xd, yd, "seed", 4, "nbite", 500, "weights", ones (1, 40)), base, 0);
%! assert (linsvm_fit (Xd, yd, "seed", 4, "nbite", 500, "weights", single (ones (40, 1))), base, 0);
%! assert (linsvm_fit (Xd, yd, "seed", 4, "nbite", 500, "w0", zeros (4, 1), "startstep", 0), base, 0);
%! assert (linsvm_fit (Xd, yd, struct ("seed", 4, "nbite", 500, "weights", ones (1, 40), "w0", zeros (1, 4))), base, 0);
%! % Ranges (1:40 is kept as one; so is ones (1, 40) in Octave 6), as
%! % arguments and as structure fields, read as their elements.
%! plain = linsvm_fit (Xd, yd, "seed", 4, "nbite", 500, "weights", cumsum (ones (1, 40)));
%! assert (linsvm_fit (Xd, yd, "seed", 4, "nbite", 500, "weights", 1:40), plain, 0);
%! assert (linsvm_fit (Xd, yd, struct ("seed", 4, "nbite", 500, "weights", 1:40)), plain, 0);
%! % Class weights: doubling the positives' weight moves the boundary.
%! weighted = linsvm_fit (Xd, yd, "seed", 4, "nbite", 500, "weights", 1 + (yd > 0));
%! assert (! isequal (weighted, base));
%!test
%! % Two runs of 2000 steps, the second continuing the first, against one of 4000.
%! [whole, info] = linsvm_fit (Xd, yd, "seed", 6, "nbite", 4000, "lambda", 0.001);
%! [first, info1] = linsvm_fit (Xd, yd, "seed", 6, "nbite", 2000, "lambda", 0.001);
%! [second, info2] = linsvm_fit (Xd, yd, "seed", info1.state, "nbite", 2000, "lambda", 0.001, ...
%!                               "w0", first, "startstep", 2000);
%! assert (info2.state, info.state);
%! assert (second, whole, 1e-12 * norm (whole, Inf));
%!test
%! id = "linsvm_fit:invalidOption";
%! wmsg = "weights must be 40 finite numbers >= 0 (double or single), one per example\n";
%! for bad = {ones(1, 39), [ones(1, 39) NaN], [ones(1, 39) Inf], [ones(1, 39) -1], "weights", int8(ones(1, 40)), {1}}
%!   expect_error (@() linsvm_fit (Xd, yd, "weights", bad{1}), id, wmsg);
%! end
%! w0msg = "w0 must be 4 finite numbers (double or single), as many as w has\n";
%! for bad = {zeros(3, 1), [0 0 0 NaN], [0 0 0 -Inf], "w0", zeros(5, 1)}
%!   expect_error (@() linsvm_fit (Xd, yd, "w0", bad{1}), id, w0msg);
%! end
%! expect_error (@() linsvm_fit (Xd, yd, "w0", zeros (4, 1), "biasmult", 0), id, ...
%!               "w0 must be 3 finite numbers (double or single), as many as w has\n");
%! for bad = {-1, 0.5, NaN, Inf, 2^53 + 2}
%!   expect_error (@() linsvm_fit (Xd, yd, "startstep", bad{1}), id, "startstep must be a whole number from 0 to 2^53\n");
%! end
%! expect_error (@() linsvm_fit (Xd, yd, "startstep", "7"), id, "startstep must be a real number\n");
%! for bad = {-1, NaN}
%!   expect_error (@() linsvm_fit (Xd, yd, "verbose", bad{1}), id, "verbose must be true, false or a number >= 0\n");
%! end
%! % Checked before anything is printed.
%! printed = evalc ("try, linsvm_fit (Xd, yd, 'lambda', -1, 'weights', -ones (1, 40)); catch, end");
%! assert (printed, "");

## What the options argument holds that no option reads, and data that
## cannot train: warned of, the result unchanged.
%!test
%! defaults = linsvm_fit (Xd, yd, struct ("seed", 5));
%! cases = {
%!   struct("seed", 5, "Lambda", 0.1, "NBITE", 10), ...
%!     {"field 'Lambda' of the options structure is not an option and is ignored: fields are matched exactly, did you mean 'lambda'?", ...
%!      "field 'NBITE' of the options structure is not an option and is ignored: fields are matched exactly, did you mean 'nbite'?"};
%!   struct("seed", 5, "lamda", 0.1), ...
%!     {"field 'lamda' of the options structure is not an option and is ignored (lambda, C, biasmult, nbite, seed, weights, w0, startstep, verbose, interrupt, classes, folds or average)"};
%!   struct("seed", 5), cell(1, 0)};
%! for k = 1:rows (cases)
%!   [texts, w] = warnings_of (Xd, yd, cases{k, 1});
%!   assert (texts, cases{k, 2});
%!   assert (w, defaults, 0);
%! end
%! ignored = "the third argument is neither an options structure nor an option name, and is ignored: the defaults apply";
%! for other = {42, 0.5, {1, 2}, true, int8(3)}
%!   [text, id] = deal ("");
%!   lastwarn ("");
%!   evalc ("linsvm_fit (Xd, yd, other{1});");
%!   [text, id] = lastwarn ();
%!   assert (id, "linsvm_fit:ignoredArgument");
%!   assert (text, ["linsvm_fit: " ignored]);
%! end
%! % Empty options and structures without fields are not warned of.
%! for quiet = {[], struct(), {}}
%!   assert (warnings_of (Xd, yd, quiet{1}), cell (1, 0));
%! end
%!test
%! % A fresh run forgets a non-zero w0 at its first step: warned of unless
%! % startstep continues a run (or w0 is zero, or no step is made).
%! forgotten = "w0 is forgotten at the first step when startstep is 0 (step 1 shrinks the weights by 1 - lambda/lambda = 0): to continue a run, give startstep, the steps already made";
%! w0 = [1; -2; 0.5; 3];
%! assert (warnings_of (Xd, yd, "w0", w0, "seed", 2), {forgotten});
%! assert (warnings_of (Xd, yd, struct ("w0", w0, "seed", 2)), {forgotten});
%! assert (warnings_of (Xd, yd, "w0", w0, "startstep", 10, "seed", 2), cell (1, 0));
%! assert (warnings_of (Xd, yd, "w0", zeros (4, 1), "seed", 2), cell (1, 0));
%! assert (warnings_of (zeros (3, 0), zeros (1, 0), "w0", w0), cell (1, 0));
%! % Why: a w0 small enough for the first step to update gives the bits of
%! % the run from zeros (a larger one may keep the margin there, and so
%! % only skip the first example).
%! [texts, w] = warnings_of (Xd, yd, "w0", 1e-3 * w0, "seed", 2);
%! assert (w, linsvm_fit (Xd, yd, "seed", 2), 0);
%!test
%! % Steps whose example scores NaN or Inf are counted; lambda = 0 (NaN
%! % weights by design) is not reported.
%! texts = warnings_of ([1 2; NaN 3], [1 -1], "seed", 1);
%! assert (numel (texts), 1);
%! count = str2double (regexp (texts{1}, '^\d+', "match", "once"));
%! assert (texts{1}, sprintf ("%d of the 100 steps drew an example whose score is NaN or infinite (NaN or Inf in X, or values too large): those steps did not train as intended", count));
%! assert (count > 0 && count < 100);
%! assert (numel (regexp (warnings_of ([1 2; Inf 3], [1 -1], "seed", 1){1}, '^\d+ of the 100 steps')), 1);
%! assert (warnings_of (Xd, yd, "seed", 1), cell (1, 0));
%! assert (warnings_of (Xd, yd, "seed", 1, "lambda", 0), cell (1, 0));
%!test
%! % Arguments that nothing reads.
%! msg = "too many arguments (4): options are one structure, or name/value pairs from the third argument on\n";
%! expect_error (@() linsvm_fit (Xd, yd, struct ("seed", 1), 2), "linsvm_fit:tooManyArguments", msg);
%! expect_error (@() linsvm_fit (Xd, yd, [], "seed", 1), "linsvm_fit:tooManyArguments", strrep (msg, "(4)", "(5)"));
%!test
%! % interrupt: 'error' (the default) or 'return', in any case; the result
%! % of a call that is not interrupted is the same.
%! expected = linsvm_fit (Xd, yd, "seed", 3);
%! assert (linsvm_fit (Xd, yd, "seed", 3, "interrupt", "return"), expected, 0);
%! assert (linsvm_fit (Xd, yd, struct ("seed", 3, "interrupt", "Error")), expected, 0);
%! for bad = {"stop", "returned", 1, {"return"}, true}
%!   expect_error (@() linsvm_fit (Xd, yd, "interrupt", bad{1}), "linsvm_fit:invalidOption", ...
%!                 "interrupt must be 'error' or 'return'\n");
%! end
%!test
%! % A call made while a call is running (from a callback that runs while
%! % the progress line is flushed) is refused, and the running call goes
%! % on. Through the MEX interface the flush evaluates fflush, which a
%! % function on the path can stand in for; oct-files flush directly.
%! [~, ~, extension] = fileparts (which ("linsvm_fit"));
%! if (strcmp (extension, ".mex"))
%!   folder = tempname ();
%!   mkdir (folder);
%!   unwind_protect
%!     fid = fopen (fullfile (folder, "fflush.m"), "w");
%!     fputs (fid, ["function varargout = fflush (varargin)\n", ...
%!                  "  global nested_identifier\n", ...
%!                  "  try\n    linsvm_fit (1, 1);\n  catch err\n    nested_identifier = err.identifier;\n  end\n", ...
%!                  "  [varargout{1:nargout}] = builtin ('fflush', varargin{:});\nend\n"]);
%!     fclose (fid);
%!     global nested_identifier
%!     nested_identifier = "";
%!     warning ("off", "Octave:shadowed-function", "local");
%!     addpath (folder);
%!     evalc ("w = linsvm_fit (Xd, yd, 'seed', 3, 'verbose', true);");
%!     rmpath (folder);
%!     assert (nested_identifier, "linsvm_fit:busy");
%!     clear -global nested_identifier
%!     assert (w, linsvm_fit (Xd, yd, "seed", 3), 0);
%!   unwind_protect_cleanup
%!     confirm_recursive_rmdir (false, "local");
%!     rmdir (folder, "s");
%!   end_unwind_protect
%! end

## Many models in one call: each the bits of its one-model call.
%!test
%! % A lambda path (lambda or C), one-vs-rest classes, and both: the shapes
%! % of w and info, and every column against its own call.
%! lams = [0.1 0.01 0.001];
%! [w, info] = linsvm_fit (Xd, yd, "lambda", lams, "seed", 3, "nbite", 500);
%! assert (size (w), [4 3]);
%! for l = 1:3
%!   assert (w(:, l), linsvm_fit (Xd, yd, "lambda", lams(l), "seed", 3, "nbite", 500), 0);
%! end
%! assert (info.lambda, lams);
%! assert ([size(info.objective); size(info.loss); size(info.violations)], repmat ([1 3], 3, 1));
%! [~, one] = linsvm_fit (Xd, yd, "lambda", lams(2), "seed", 3, "nbite", 500);
%! assert ([info.objective(2), info.loss(2), info.violations(2), info.state], ...
%!         [one.objective, one.loss, one.violations, one.state]);
%! assert ({info.classes, info.cv}, {[], []});
%! [wc, infoc] = linsvm_fit (Xd, yd, "C", [1 10], "seed", 3, "nbite", 500);
%! assert (wc, linsvm_fit (Xd, yd, "lambda", 1 ./ ([1 10] * 40), "seed", 3, "nbite", 500), 0);
%! assert (infoc.lambda, 1 ./ ([1 10] * 40));
%! y3 = 1 + mod (1:40, 3) + (Xd(1, :) > 0.5);     % labels 1 to 4
%! [wk, infok] = linsvm_fit (Xd, y3, "classes", true, "lambda", lams(1:2), "seed", 4, "nbite", 300);
%! assert (size (wk), [4 4 2]);
%! assert (infok.classes, [1 2 3 4]);
%! for k = 1:4
%!   for l = 1:2
%!     assert (wk(:, k, l), linsvm_fit (Xd, 2 * (y3 == k) - 1, "lambda", lams(l), "seed", 4, "nbite", 300), 0);
%!   end
%! end
%! % Listed classes, in the order given; weights and w0 a column per model.
%! weights = 1 + mod ((1:40)' * [1 2], 3);
%! w0 = reshape (1:8, 4, 2) / 10;
%! [wl, infol] = linsvm_fit (Xd, y3, "classes", [4 2], "seed", 6, "nbite", 300, "weights", weights, ...
%!                           "w0", w0, "startstep", 5);
%! assert (size (wl), [4 2]);
%! assert (infol.classes, [4 2]);
%! assert (wl(:, 2), linsvm_fit (Xd, 2 * (y3 == 2) - 1, "seed", 6, "nbite", 300, "weights", weights(:, 2), ...
%!                               "w0", w0(:, 2), "startstep", 5), 0);
%! % No unusual-label warning for class labels.
%! assert (warnings_of (Xd, y3, "classes", true, "seed", 1), cell (1, 0));
%!test
%! % Cross-validation: the fold models are the calls on the other folds'
%! % examples; info.cv their loss and error rate on the fold's own, by the
%! % definitions; w the models on all examples.
%! lams = [0.1 0.001];
%! [w, info] = linsvm_fit (Xd, yd, "folds", 3, "lambda", lams, "seed", 5, "nbite", 400);
%! assert (w, linsvm_fit (Xd, yd, "lambda", lams, "seed", 5, "nbite", 400), 0);
%! fold = mod (0:39, 3) + 1;
%! assert (info.cv.count, [14; 13; 13]);
%! for k = 1:3
%!   for l = 1:2
%!     wk = linsvm_fit (Xd(:, fold != k), yd(fold != k), "lambda", lams(l), "seed", 5, "nbite", 400);
%!     score = wk(1:3)' * Xd(:, fold == k) + wk(4);
%!     assert (info.cv.loss(k, l), mean (max (0, 1 - yd(fold == k) .* score)), 1e-13);
%!     assert (info.cv.error(k, l), mean (yd(fold == k) .* score <= 0), 0);
%!   end
%! end
%! assert (info.cv.meanloss, mean (info.cv.loss), 1e-15);
%! assert (info.cv.meanerror, mean (info.cv.error), 1e-15);
%! % Fold numbers given: the same as the whole number of folds.
%! [~, given] = linsvm_fit (Xd, yd, "folds", fold, "lambda", lams, "seed", 5, "nbite", 400);
%! assert (given.cv, info.cv);
%! % A corrected nbite is 20 times each fold's examples, as the fold's own call gets.
%! printed = evalc ("[~, corrected] = linsvm_fit (Xd, yd, 'folds', 2, 'nbite', 0, 'seed', 5);");
%! assert (printed, "nbite > 0 , force to 20*N\n");
%! assert (corrected.nbite, 800);
%! evalc ("w1 = linsvm_fit (Xd(:, 2:2:end), yd(2:2:end), 'nbite', 0, 'seed', 5);");
%! score = w1(1:3)' * Xd(:, 1:2:end) + w1(4);
%! assert (corrected.cv.loss(1), mean (max (0, 1 - yd(1:2:end) .* score)), 1e-13);
%!test
%! % The same bits at every thread count.
%! y3 = 1 + mod (1:40, 3);
%! saved = getenv ("MEX_KERNELS_THREADS");
%! unwind_protect
%!   results = {};
%!   for threads = {"1", "2", "3"}
%!     setenv ("MEX_KERNELS_THREADS", threads{1});
%!     [w, info] = linsvm_fit (repmat (Xd, 40, 1), y3, "classes", true, "lambda", [0.1 0.01], "folds", 4, ...
%!                             "seed", 7, "nbite", 20000);
%!     results{end + 1} = {w, info.cv, info.state};
%!   end
%! unwind_protect_cleanup
%!   setenv ("MEX_KERNELS_THREADS", saved);
%! end_unwind_protect
%! assert (results{2}, results{1});
%! assert (results{3}, results{1});
%!test
%! id = "linsvm_fit:invalidOption";
%! fmsg = "folds must be a whole number F from 2 to N (40), or N fold numbers from 1 to F, each fold holding an example\n";
%! for bad = {1, 41, 2.5, NaN, [1 2 3], [ones(1, 39) 3], [zeros(1, 39) 1], ones(1, 40)}
%!   expect_error (@() linsvm_fit (Xd, yd, "folds", bad{1}), id, fmsg);
%! end
%! expect_error (@() linsvm_fit (Xd, yd, "classes", [1 5]), id, "classes: 5 is no label of y (no example of that class)\n");
%! expect_error (@() linsvm_fit (Xd, yd, "classes", [1 1]), id, "classes must be distinct\n");
%! expect_error (@() linsvm_fit (Xd, yd, "classes", NaN), id, "classes: NaN is no class\n");
%! expect_error (@() linsvm_fit (Xd, [yd(1:39) NaN], "classes", true), id, "classes: y holds NaN, which is no class\n");
%! expect_error (@() linsvm_fit (Xd, yd, "classes", "all"), id, ...
%!               "classes must be true, false or the class labels to train, as numbers\n");
%! expect_error (@() linsvm_fit (Xd, yd, "C", 1, "lambda", 0.1), id, "give lambda or C, not both (lambda = 1/(C N))\n");
%! for bad = {0, -1, Inf, NaN}
%!   expect_error (@() linsvm_fit (Xd, yd, "C", bad{1}), id, "C must be finite numbers > 0\n");
%! end
%! expect_error (@() linsvm_fit (Xd, yd, "classes", true, "weights", ones (40, 3)), id, ...
%!               "weights must be 40 finite numbers >= 0 (double or single), one per example, or 40 x 2, a column per class\n");
%! expect_error (@() linsvm_fit (Xd, yd, "lambda", [1 2], "w0", ones (4, 3)), id, ...
%!               "w0 must be 4 finite numbers (double or single), as many as a model has, or 4 x 2, a column per model\n");

## Progress lines: a start and an end line, nothing without verbose.
%!test
%! printed = evalc ("linsvm_fit (Xd, yd, 'seed', 3, 'nbite', 50, 'verbose', true);");
%! lines = strsplit (strtrim (printed), "\n");
%! assert (numel (lines), 2);
%! assert (lines{1}, "linsvm_fit: training on 40 examples of 3 features: 50 steps from step 1, lambda 0.01, biasmult 1, seed 3");
%! assert (! isempty (regexp (lines{2}, "^linsvm_fit: 50 steps in [0-9.]+ s, [0-9]+ of them violated the margin$", "once")));
%! assert (evalc ("linsvm_fit (Xd, yd, 'seed', 3, 'nbite', 50, 'verbose', 0);"), "");

## Help.
%!test
%! text = evalc ("help linsvm_fit");
%! assert (! isempty (strfind (text, "w = linsvm_fit(X, y, options)")));
%! assert (! isempty (strfind (text, "nbite > 0 , force to 20*N")));
