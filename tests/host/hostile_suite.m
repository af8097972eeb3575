% Hostile-input suite: calls every module with arguments of every class,
% shape and awkward value, and checks each outcome against the documented
% behaviour. A call must either raise the module's own error (or the host's
% out-of-memory error, for results that cannot be allocated) or return a
% result of the documented class and shape; a crash ends the process.
%
% Usage: octave-cli hostile_suite.m MEX_DIR [--memory-limited] [--only NAME] [--valgrind]
%   --memory-limited  the caller has capped the address space (ulimit -v), so
%                     calls asking for results of several GiB may be made: the
%                     host must fail to allocate them. Without it they are left out.
%   --only NAME       tests module NAME alone (every module by default).
%   --valgrind        the short lists, for slow runs: every kind of value in
%                     every argument slot, but not every combination of
%                     values (the full lists run natively, with and without
%                     the sanitizers).
%   --every K [--offset J]
%                     puts only every K-th value (from the (J+1)-th) into the
%                     trainer's option fields (the bulk of its calls), for
%                     slow runs (valgrind), which take the others in turn.
%
% Prints one summary line and exits with 1 when any outcome is wrong.
1;

%% ---------------------------------------------------------------- values

% True when the short lists are asked for (--valgrind).
function yes = short_lists ()
  persistent asked;
  if (isempty (asked))
    asked = any (strcmp (argv (), "--valgrind"));
  end
  yes = asked;
endfunction

% The pairs of indices (a, b) into two lists of n and m values to call with:
% every pair, a before b; on the short lists each value of the longer list
% with two of the other in turn, which meets every value of both.
function pairs = pairs_of (n, m)
  [b, a] = ndgrid (1:m, 1:n);
  keep = true (m, n);
  if (short_lists ())
    if (n >= m)
      keep = mod (a - b, m) < 2;
    else
      keep = mod (b - a, n) < 2;
    end
  end
  pairs = [a(keep), b(keep)];
endfunction

function values = add_value (values, label, value)
  values{end + 1} = {label, value};
endfunction

% Fills an array of the given class and shape with a ramp (fill = []) or
% with one special value, converted as the class converts it.
function value = filled (class_name, shape, fill)
  count = prod (shape);
  if (isempty (fill))
    data = mod (0:count - 1, 250);
  else
    data = repmat (fill, 1, count);
  end
  data = reshape (data, [shape 1 1]);
  switch (class_name)
    case "logical"
      data(isnan (data)) = 1;
      value = logical (data);
    case "char"
      data(! isfinite (data)) = 0;
      value = char (min (max (data, 0), 255));
    otherwise
      value = cast (data, class_name);
  end
endfunction

function text = shape_text (shape)
  text = sprintf ("%dx", shape)(1:end - 1);
endfunction

% Arguments of every class, shape and special value, for any argument slot.
function values = hostile_values ()
  values = {};
  classes = {"double", "single", "int8", "uint8", "int16", "uint16", "int32", ...
             "uint32", "int64", "uint64", "logical", "char"};
  shapes = {[0 0], [0 3], [3 0], [1 1], [1 4], [4 1], [3 4], [2 2], [3 4 3], ...
            [2 3 3 2], [1 1 3], [0 4 3], [4 0 3], [3 3 2]};
  % The short lists keep every class and every shape, each class in a third
  % of the shapes, and each special value in every class, in one shape.
  for c = 1:numel (classes)
    for s = 1:numel (shapes)
      if (short_lists () && mod (c + s, 3) != 0)
        continue;
      end
      values = add_value (values, sprintf ("%s %s", classes{c}, shape_text (shapes{s})), ...
                          filled (classes{c}, shapes{s}, []));
    end
  end
  specials = {NaN, Inf, -Inf, -0, 0.5, -1, 255, 2^31, 2^32, 2^63, 1e300, -2^31};
  special_names = {"NaN", "Inf", "-Inf", "-0", "0.5", "-1", "255", "2^31", "2^32", "2^63", "1e300", "-2^31"};
  special_classes = {"double", "single", "uint8", "int16", "int32", "int64"};
  special_shapes = {[1 1], [1 2], [2 3], [3 4 3]};
  for c = 1:numel (special_classes)
    for s = 1:numel (special_shapes)
      for k = 1:numel (specials)
        if (short_lists () && mod (c + s + k, numel (special_shapes)) != 0)
          continue;
        end
        values = add_value (values, sprintf ("%s %s of %s", special_classes{c}, shape_text (special_shapes{s}), ...
                                             special_names{k}), ...
                            filled (special_classes{c}, special_shapes{s}, specials{k}));
      end
    end
  end
  % Values Octave keeps in forms of their own: ranges, a diagonal matrix.
  values = add_value (values, "range 1:5", 1:5);
  values = add_value (values, "range 0:0.5:2", 0:0.5:2);
  values = add_value (values, "range 1x0", 1:0);
  values = add_value (values, "diagonal 3x3", eye (3));
  values = add_value (values, "text", "hostile");
  values = add_value (values, "empty text", "");
  values = add_value (values, "empty cell", {});
  values = add_value (values, "cell {1}", {1});
  values = add_value (values, "cell 2x2", {uint8(1), [3 5]; "a", struct("a", 1)});
  values = add_value (values, "cell 3x3x3", cell (3, 3, 3));
  values = add_value (values, "struct ()", struct ());
  values = add_value (values, "0x0 struct", struct ("a", {}));
  values = add_value (values, "struct a=1", struct ("a", 1));
  values = add_value (values, "2x1 struct array", struct ("a", {1; 2}));
  values = add_value (values, "1x3 struct array", struct ("lambda", {1, 2, 3}));
  values = add_value (values, "nested struct", struct ("lambda", struct ("lambda", 1)));
  values = add_value (values, "function handle", @sin);
  values = add_value (values, "anonymous function", @(x) x + 1);
  values = add_value (values, "sparse 3x4", sparse ([1 0 2 0; 0 3 0 0; 4 0 0 5]));
  values = add_value (values, "sparse 0x0", sparse (0, 0));
  values = add_value (values, "sparse 1x2", sparse ([3 5]));
  values = add_value (values, "sparse logical", sparse (logical ([1 0; 0 1])));
  values = add_value (values, "sparse complex", sparse ([1i 0; 0 2]));
  values = add_value (values, "sparse 3x0", sparse (3, 0));
  values = add_value (values, "sparse 0x3", sparse (0, 3));
  values = add_value (values, "sparse zeros 4x3", sparse (4, 3));
  values = add_value (values, "sparse 2^20x2", sparse ([1 2^20], [1 2], [1 -1], 2^20, 2));
  values = add_value (values, "complex 3x4", complex (rand (3, 4), rand (3, 4)));
  values = add_value (values, "complex 1x2", complex ([3 5], [0 0]));
  values = add_value (values, "complex single", complex (single ([3 5]), single ([1 1])));
  values = add_value (values, "complex 1x1", 1 + 2i);
  values = add_value (values, "range 1:4", 1:4);
  values = add_value (values, "empty range", 1:0);
  values = add_value (values, "int64 max", intmax ("int64"));
  values = add_value (values, "uint64 max", intmax ("uint64"));
  values = add_value (values, "int8 min", intmin ("int8"));
  values = add_value (values, "uint8 4x5x3x2", filled ("uint8", [4 5 3 2], []));
  values = add_value (values, "uint8 4x5x3x0", zeros ([4 5 3 0], "uint8"));
  values = add_value (values, "double 1x5 labels", [1 -1 1 -1 1]);
endfunction

%% ------------------------------------------------------- documented behaviour

% A scalar's truncation toward zero to 32 bits: out-of-range values, NaN and
% infinities give the most negative integer.
function n = truncate32 (x)
  if (x > -2147483649 && x < 2147483648)
    n = fix (x);
  else
    n = -2147483648;
  end
endfunction

function yes = real_dense (value, class_name)
  yes = isa (value, class_name) && ! issparse (value) && ! iscomplex (value);
endfunction

% Real dense numbers of any numeric or logical class.
function yes = real_numbers (value)
  yes = (isnumeric (value) || islogical (value)) && ! issparse (value) && ! iscomplex (value);
endfunction

function n = host_columns (value)
  shape = size (value);
  n = prod (shape(2:end));
endfunction

% Expected outcome of a call: outcome.error (identifier; "" when a result is
% expected), outcome.size and outcome.class of the result, and outcome.bytes,
% the size of that result, by which the host may refuse to allocate it.
function outcome = expect_linsvm_fit (args)
  outcome = struct ("error", "", "size", [], "class", "double", "bytes", 0);
  % Dense double or single, or sparse double or logical; never complex.
  readable_x = @(X) (real_dense (X, "double") || real_dense (X, "single") ...
                     || (issparse (X) && ! iscomplex (X)));
  if (numel (args) < 1 || ! readable_x (args{1}) ...
      || rows (args{1}) > 2147483647 || host_columns (args{1}) > 2147483647)
    outcome.error = "linsvm_fit:invalidX";
    return;
  end
  d = rows (args{1});
  N = host_columns (args{1});
  if (numel (args) < 2 || ! real_dense (args{2}, "double") ...
      || host_columns (args{2}) != N || numel (args{2}) < N)
    outcome.error = "linsvm_fit:invalidY";
    return;
  end
  % After X and y, one options argument, or name/value pairs.
  if (numel (args) > 3 && ! ischar (args{3}))
    outcome.error = "linsvm_fit:tooManyArguments";
    return;
  end
  biasmult = 1;
  options = struct ();
  if (numel (args) >= 3 && ! isempty (args{3}) && isstruct (args{3}) && numel (args{3}) > 0)
    options = args{3}(1);
  elseif (numel (args) >= 3 && ischar (args{3}) && ! (numel (args) == 3 && isempty (args{3})))
    % Name/value pairs from the third argument on: text names (read in
    % storage order, case-insensitive), each followed by a value.
    for i = 3:2:numel (args)
      if (! ischar (args{i}))
        outcome.error = "linsvm_fit:invalidOption";
        return;
      end
      known = option_names ();
      name = known(strcmpi (args{i}(:)', known));
      if (isempty (name) || i + 1 > numel (args))
        outcome.error = "linsvm_fit:invalidOption";
        return;
      end
      options.(name{1}) = args{i + 1};
    end
  end
  % Scalar options: any real numeric or logical class, read by their first
  % element; startstep a whole number from 0 to 2^53, verbose >= 0, average
  % logical or a whole number from 0 to 2^53.
  for name = {"lambda", "C", "biasmult", "nbite", "seed", "startstep", "verbose", "classes", "folds", "average"}
      if (! isfield (options, name{1}) || isempty (options.(name{1})))
        continue;
      end
      value = options.(name{1});
      if (! (isnumeric (value) || islogical (value)) || issparse (value) || iscomplex (value))
        outcome.error = "linsvm_fit:invalidOption";
        return;
      end
      v = double (value(1));
      whole = v >= 0 && v <= 2^53 && v == fix (v);
      if ((strcmp (name{1}, "startstep") && ! whole) ...
          || (strcmp (name{1}, "average") && ! islogical (value) && ! whole) ...
          || (strcmp (name{1}, "verbose") && ! (v >= 0)))
        outcome.error = "linsvm_fit:invalidOption";
        return;
      end
      if (strcmp (name{1}, "biasmult"))
        biasmult = v;
      end
  end
  given = @(name) isfield (options, name) && ! isempty (options.(name));
  % A lambda path, or one from C (finite > 0), not both.
  L = 1;
  if (given ("lambda"))
    L = numel (options.lambda);
  end
  if (given ("C"))
    L = numel (options.C);
    if (given ("lambda") || ! all (options.C(:) > 0 & isfinite (options.C(:))))
      outcome.error = "linsvm_fit:invalidOption";
      return;
    end
  end
  % One-vs-rest: true for every label of y (no NaN), false for none, or
  % distinct classes that y holds.
  K = 0;
  labels = double (args{2}(1:N));
  if (given ("classes"))
    value = options.classes;
    if (islogical (value))
      if (numel (value) != 1 || (value && (N == 0 || any (isnan (labels)))))
        outcome.error = "linsvm_fit:invalidOption";
        return;
      end
      K = value * numel (unique (labels));
    else
      listed = double (value(:));
      if (any (isnan (listed)) || numel (unique (listed)) != numel (listed) || ! all (ismember (listed, labels)))
        outcome.error = "linsvm_fit:invalidOption";
        return;
      end
      K = numel (listed);
    end
  end
  % Folds: F from 2 to N, or N fold numbers from 1 to F, none empty.
  if (given ("folds"))
    f = double (options.folds(:));
    if (numel (f) == 1)
      bad = ! (f >= 2 && f <= N && f == fix (f));
    else
      bad = numel (f) != N || ! all (f >= 1 & f <= N & f == fix (f)) || max (f) < 2 ...
            || ! all (ismember (1:max (f), f));
    end
    if (bad)
      outcome.error = "linsvm_fit:invalidOption";
      return;
    end
  end
  M = max (K, 1) * L;
  % interrupt: 'error' or 'return', in any case.
  if (isfield (options, "interrupt") && ! isempty (options.interrupt) ...
      && ! (ischar (options.interrupt) && any (strcmpi (options.interrupt(:)', {"error", "return"}))))
    outcome.error = "linsvm_fit:invalidOption";
    return;
  end
  % Vector options: real dense double or single, finite, one per example
  % (weights, also >= 0; or a column per class) or one per element of w (w0;
  % or a column per model).
  len = d + (biasmult > 0);
  lengths = struct ("weights", [N, N * max(K, 1)], "w0", [len, len * M]);
  for name = {"weights", "w0"}
    if (! isfield (options, name{1}) || isempty (options.(name{1})))
      continue;
    end
    value = options.(name{1});
    if (! (real_dense (value, "double") || real_dense (value, "single")) || ! any (numel (value) == lengths.(name{1})) ...
        || ! all (isfinite (value(:))) || (strcmp (name{1}, "weights") && any (value(:) < 0)))
      outcome.error = "linsvm_fit:invalidOption";
      return;
    end
  end
  % w: a column per model, d(+1) x K x L with classes.
  if (K > 0)
    outcome.size = [len, K, L](1:2 + (L > 1));
  else
    outcome.size = [len, L];
  end
  outcome.bytes = 8 * prod (outcome.size);
endfunction

function names = option_names ()
  names = {"lambda", "C", "biasmult", "nbite", "seed", "weights", "w0", "startstep", "verbose", "interrupt", ...
           "classes", "folds", "average"};
endfunction

function outcome = expect_scale_bilinear (args)
  outcome = struct ("error", "", "size", [], "class", "", "bytes", 0);
  if (numel (args) > 2)
    outcome.error = "scale_bilinear:tooManyArguments";
    return;
  end
  classes = {"uint8", "uint16", "int16", "single", "double"};
  if (numel (args) < 1 || isempty (args{1}) || ! any (cellfun (@(c) real_dense (args{1}, c), classes)))
    outcome.error = "scale_bilinear:invalidImage";
    return;
  end
  outcome.class = class (args{1});
  % The size: numbers of any real class, read as doubles.
  if (numel (args) < 2 || ! real_numbers (args{2}) || isempty (args{2}))
    outcome.error = "scale_bilinear:invalidSize";
    return;
  end
  size_value = double (args{2}(1:min (2, numel (args{2}))));
  shape = size (args{1});
  if (numel (size_value) == 1)
    % A scale factor: ceil (s * N), each product in double.
    factor = size_value;
    ny = ceil (factor * shape(1));
    nx = ceil (factor * shape(2));
    if (! (factor > 0) || ! isfinite (factor))
      ny = -1;
    end
  else
    % [ny nx], truncated; one NaN takes the other's aspect ratio.
    free_rows = isnan (size_value(1));
    free_columns = isnan (size_value(2));
    ny = truncate32 (size_value(1)) * ! free_rows;
    nx = truncate32 (size_value(2)) * ! free_columns;
    if (free_rows && free_columns)
      ny = -1;
    elseif (free_rows && nx >= 0)
      ny = ceil (nx * shape(1) / shape(2));
    elseif (free_columns && ny >= 0)
      nx = ceil (ny * shape(2) / shape(1));
    end
  end
  if (ny < 0 || nx < 0 || ny >= 2^31 || nx >= 2^31)
    outcome.error = "scale_bilinear:invalidSize";
    return;
  end
  % Dimensions after the second are planes, each resampled; the result keeps them.
  outcome.size = [ny nx shape(3:end)];
  outcome.bytes = prod (outcome.size) * sizeof (zeros (1, 1, outcome.class));
endfunction

function outcome = expect_resize_image (args)
  outcome = struct ("error", "", "size", [], "class", "", "bytes", 0);
  classes = {"uint8", "uint16", "int16", "int8", "int32", "uint32", "single", "double", "logical"};
  if (numel (args) < 1 || isempty (args{1}) || ! any (cellfun (@(c) real_dense (args{1}, c), classes)))
    outcome.error = "resize_image:invalidImage";
    return;
  end
  outcome.class = class (args{1});
  % The size unless the second argument is text; a method when an odd number
  % of arguments follows; then name/value pairs, in order.
  size_value = [];
  has_size = false;
  scale_given = false;
  method = "bicubic";
  antialias = [];
  k = 2;
  if (numel (args) >= 2 && ! ischar (args{2}))
    size_value = args{2};
    if (real_dense (size_value, "double") && ismatrix (size_value) && columns (size_value) == 3 ...
        && rows (size_value) >= 2)
      outcome.error = "resize_image:indexedImage";
      return;
    end
    has_size = true;
    k = 3;
  end
  methods = {"nearest", "bilinear", "bicubic", "box", "triangle", "lanczos2", "lanczos3", "cubic", "linear"};
  canonical = struct ("cubic", "bicubic", "linear", "bilinear");
  known = @(v) ischar (v) && any (strcmp (lower (v(:)'), methods));
  if (mod (numel (args) - k + 1, 2) == 1)
    if (! known (args{k}))
      outcome.error = "resize_image:invalidMethod";
      return;
    end
    method = lower (args{k}(:)');
    k += 1;
  end
  for k = k:2:numel (args)
    name = args{k};
    value = args{k + 1};
    if (! ischar (name))
      outcome.error = "resize_image:invalidOption";
      return;
    end
    switch (lower (name(:)'))
      case "method"
        if (! known (value))
          outcome.error = "resize_image:invalidMethod";
          return;
        end
        method = lower (value(:)');
      case "scale"
        if (has_size)
          outcome.error = "resize_image:invalidOption";
          return;
        end
        if (! real_numbers (value) || ! any (numel (value) == [1 2]))
          outcome.error = "resize_image:invalidSize";
          return;
        end
        size_value = value;
        has_size = true;
        scale_given = true;
      case "antialiasing"
        if (! real_numbers (value) || numel (value) != 1 || ! any (double (value) == [0 1]))
          outcome.error = "resize_image:invalidOption";
          return;
        end
        antialias = double (value) == 1;
      case "outputsize"
        if (has_size)
          outcome.error = "resize_image:invalidOption";
          return;
        end
        if (! real_numbers (value) || numel (value) != 2)
          outcome.error = "resize_image:invalidSize";
          return;
        end
        size_value = value;
        has_size = true;
      otherwise
        outcome.error = "resize_image:invalidOption";
        return;
    end
  end
  if (isfield (canonical, method))
    method = canonical.(method);
  end
  if (isempty (antialias))
    antialias = ! strcmp (method, "nearest");
  end
  if (! has_size || ! real_numbers (size_value) || isempty (size_value) || numel (size_value) > 2)
    outcome.error = "resize_image:invalidSize";
    return;
  end
  shape = size (args{1});
  v = double (size_value);
  if (numel (v) == 1 || scale_given)
    v = v([1 end]);
    if (! all (v > 0) || ! all (isfinite (v)))
      outcome.error = "resize_image:invalidSize";
      return;
    end
    ny = ceil (v(1) * shape(1));
    nx = ceil (v(2) * shape(2));
    scales = v(:)';
  else
    whole = @(x) isfinite (x) && x >= 0 && x == floor (x);
    if (all (isnan (v)) || (! isnan (v(1)) && ! whole (v(1))) || (! isnan (v(2)) && ! whole (v(2))) ...
        || any (v >= 2^31))
      outcome.error = "resize_image:invalidSize";
      return;
    end
    if (isnan (v(1)))
      scales = [v(2) / shape(2), v(2) / shape(2)];
      v(1) = ceil (shape(1) * scales(1));
    elseif (isnan (v(2)))
      scales = [v(1) / shape(1), v(1) / shape(1)];
      v(2) = ceil (shape(2) * scales(2));
    else
      scales = v ./ shape(1:2);
    end
    ny = v(1);
    nx = v(2);
  end
  if (ny >= 2^31 || nx >= 2^31)
    outcome.error = "resize_image:invalidSize";
    return;
  end
  % An output pixel reaching more than 2^24 input pixels to each side (a
  % widened kernel) or past the image (a tiny factor) is refused.
  reach = struct ("nearest", 0.5, "bilinear", 1, "triangle", 1, "bicubic", 2, "box", 0.5, "lanczos2", 2, ...
                  "lanczos3", 3).(method);
  widened = antialias && scales < 1;
  support = reach ./ (scales .^ widened);
  last_centre = ([ny nx] - 0.5) ./ scales - 0.5;
  identity = [ny nx] == shape(1:2) & scales == 1;
  if (any ([ny nx] > 0 & ! identity & (support > 2^24 | last_centre > shape(1:2) + 2^24)))
    outcome.error = "resize_image:invalidSize";
    return;
  end
  outcome.size = [ny nx shape(3:end)];
  outcome.bytes = prod (outcome.size) * sizeof (zeros (1, 1, outcome.class));
endfunction

function outcome = expect_luma_u8 (args)
  outcome = struct ("error", "", "size", [], "class", "uint8", "bytes", 0);
  if (numel (args) > 1)
    outcome.error = "luma_u8:tooManyArguments";
    return;
  end
  if (numel (args) < 1 || isempty (args{1}) || ! real_dense (args{1}, "uint8") ...
      || ndims (args{1}) <= 2 || size (args{1}, 3) != 3)
    outcome.error = "luma_u8:invalidImage";
    return;
  end
  outcome.size = [size(args{1}, 1), size(args{1}, 2)];
  outcome.bytes = prod (outcome.size);
endfunction

% The gray levels the documented weights give, computed in double in the
% documented order and truncated.
function gray = luma_reference (rgb)
  plane = size (rgb, 1) * size (rgb, 2);
  data = double (rgb(1:3 * plane));
  gray = fix ((data(1:plane) * 0.298936021293776 + data(plane + 1:2 * plane) * 0.587043074451121) ...
              + data(2 * plane + 1:3 * plane) * 0.114020904255103);
  gray = uint8 (reshape (gray, size (rgb, 1), size (rgb, 2)));
endfunction

%% -------------------------------------------------------------- the harness

function tally = new_tally ()
  tally = struct ("calls", 0, "results", 0, "errors", 0, "out_of_memory", 0, ...
                  "malformed", 0, "unexpected_errors", 0, "skipped", 0, "reports", {{}});
endfunction

function tally = report (tally, text)
  if (numel (tally.reports) < 40)
    tally.reports{end + 1} = text;
  end
endfunction

function yes = out_of_memory_error (err)
  yes = strcmp (err.identifier, "Octave:bad-alloc") || ! isempty (regexp (err.identifier, ":outOfMemory$", "once")) ...
        || (isempty (err.identifier) && ! isempty (regexp (err.message, "failed to allocate \\d+ bytes", "once")));
endfunction

% Makes one call and checks its outcome against the expected one.
function tally = check_call (tally, name, label, args, expected)
  tally.calls += 1;
  try
    if (strcmp (name, "linsvm_fit") && mod (tally.calls, 2) == 0)
      % Console messages of corrected options are captured, not shown; every
      % other call also asks for the information structure.
      printed = evalc ("[result, info] = linsvm_fit (args{:});");
      if (! well_formed_info (info))
        tally.malformed += 1;
        tally = report (tally, sprintf ("%s(%s): malformed information structure", name, label));
      end
    elseif (strcmp (name, "linsvm_fit"))
      printed = evalc ("result = linsvm_fit (args{:});");
    else
      result = feval (name, args{:});
    end
  catch err
    tally.errors += 1;
    if (out_of_memory_error (err) && isempty (expected.error) && expected.bytes >= 2^33)
      tally.out_of_memory += 1;
    elseif (! strcmp (err.identifier, expected.error))
      tally.unexpected_errors += 1;
      if (isempty (expected.error))
        wanted = sprintf ("a %s result of %s", expected.class, mat2str (expected.size));
      else
        wanted = expected.error;
      end
      tally = report (tally, sprintf ("%s(%s): error '%s' (%s), expected %s", name, label, ...
                                      err.identifier, err.message, wanted));
    end
    return;
  end
  tally.results += 1;
  problem = "";
  if (! isempty (expected.error))
    problem = sprintf ("returned a result, expected error %s", expected.error);
  elseif (! strcmp (class (result), expected.class) || issparse (result) || iscomplex (result))
    problem = sprintf ("result of class %s, expected real dense %s", class (result), expected.class);
  elseif (! isequal (size (result), expected.size))
    problem = sprintf ("result of size %s, expected %s", mat2str (size (result)), mat2str (expected.size));
  elseif (strcmp (name, "luma_u8") && ! isequal (result, luma_reference (args{1})))
    problem = "gray levels differ from the documented weighted sum";
  end
  if (! isempty (problem))
    tally.malformed += 1;
    tally = report (tally, sprintf ("%s(%s): %s", name, label, problem));
  end
endfunction

% The second output of linsvm_fit: one structure; the sampler states uint32
% scalars, interrupted a logical scalar, the per-model figures a double per
% model, classes [] or a row, cv [] or a structure.
function yes = well_formed_info (info)
  scalars = {"seed", "state", "biasmult", "nbite", "startstep", "steps", "seconds", "interrupted", "averaged"};
  classes = {"uint32", "uint32", "double", "double", "double", "double", "double", "logical", "double"};
  rows_of = {"lambda", "violations", "objective", "loss", "regularizer", "classes"};
  fields = [scalars, rows_of, {"cv", "last"}];
  yes = isstruct (info) && isscalar (info) && isequal (sort (fieldnames (info)), sort (fields(:)));
  for k = 1:numel (scalars)
    yes = yes && isfield (info, scalars{k}) && isa (info.(scalars{k}), classes{k}) && isscalar (info.(scalars{k})) ...
          && isreal (info.(scalars{k}));
  end
  for k = 1:numel (rows_of)
    yes = yes && isfield (info, rows_of{k}) && isa (info.(rows_of{k}), "double") && isreal (info.(rows_of{k})) ...
          && (rows (info.(rows_of{k})) == 1 || isempty (info.(rows_of{k})));
  end
  yes = yes && isfield (info, "cv") && (isempty (info.cv) || isstruct (info.cv));
  yes = yes && isa (info.last, "double") && (isempty (info.last) || (info.averaged >= 0 && ismatrix (info.last)));
endfunction

function label = value_label (values, k)
  label = values{k}{1};
endfunction

% Results of 2^40 bytes or more cannot be allocated on any machine; those of
% 2^33 bytes or more cannot under the address-space cap of --memory-limited.
% Other results of more than 2^24 elements take seconds to fill (minutes
% under valgrind), and some gigabytes: those calls are left out, as are
% calls asking for more than 100000 training steps.
function yes = left_out (name, args, expected, memory_limited)
  refused = expected.bytes >= 2^40 || (memory_limited && expected.bytes >= 2^33);
  yes = isempty (expected.error) && ! refused && prod (expected.size) > 2^24;
  if (strcmp (name, "linsvm_fit") && numel (args) >= 3 && isstruct (args{3}) && ! isempty (args{3}) ...
      && isfield (args{3}, "nbite"))
    nbite = args{3}(1).nbite;
    if (! isempty (nbite) && (isnumeric (nbite) || islogical (nbite)) && ! issparse (nbite) && ! iscomplex (nbite))
      yes = yes || truncate32 (double (nbite(1))) > 100000;
    end
  end
endfunction

function tally = run_calls (tally, name, calls, memory_limited)
  expect = str2func (["expect_" name]);
  for k = 1:size (calls, 1)
    args = calls{k, 2};
    expected = expect (args);
    if (left_out (name, args, expected, memory_limited))
      tally.skipped += 1;
      continue;
    end
    tally = check_call (tally, name, calls{k, 1}, args, expected);
  end
endfunction

function calls = add_call (calls, label, varargin)
  calls(end + 1, :) = {label, varargin};
endfunction

%% ------------------------------------------------------------ linsvm_fit

% The sampler keeps its state between calls, and a failed call must leave it
% alone. An unseeded call starts from the stored state XOR the clock, so two
% unseeded calls after the same seeded call, within the same second, agree
% exactly when nothing in between has stored a state. The module reads the
% coarse clock, which can lag Octave's by a few milliseconds at a second's
% edge: one agreeing attempt out of three shows the state untouched, while a
% stored state makes every attempt disagree.
function untouched = sampler_state_untouched (between)
  X = [sin(1:60); cos(3 * (1:60))];
  y = 2 * (mod (1:60, 2) == 0) - 1;
  seeded = struct ("seed", 11, "nbite", 9);
  unseeded = struct ("nbite", 9);
  untouched = false;
  attempts = 0;
  for tries = 1:20
    start = floor (time ());
    linsvm_fit (X, y, seeded);
    reference = linsvm_fit (X, y, unseeded);
    linsvm_fit (X, y, seeded);
    try
      between ();
    catch
    end
    after = linsvm_fit (X, y, unseeded);
    if (floor (time ()) != start)
      continue;
    end
    if (isequal (after, reference))
      untouched = true;
      return;
    end
    attempts += 1;
    if (attempts == 3)
      return;
    end
  end
  error ("hostile:clock", "the clock moved on during every attempt");
endfunction

function tally = linsvm_fit_suite (tally, values, memory_limited, every, every_offset)
  X0 = [1 2 3 4 5; 2 1 0 -1 3];
  y0 = [1 -1 1 -1 1];
  options0 = struct ("nbite", 20, "seed", 3);
  calls = cell (0, 2);

  % Argument counts, and extra arguments.
  calls = add_call (calls, "no arguments");
  calls = add_call (calls, "X only", X0);
  calls = add_call (calls, "X, y", X0, y0);
  calls = add_call (calls, "X, y, options", X0, y0, options0);
  for k = 1:20:numel (values)
    calls = add_call (calls, ["X, y, options, " value_label(values, k)], X0, y0, options0, values{k}{2});
  end

  for k = 1:numel (values)
    v = values{k}{2};
    label = values{k}{1};
    % X of every kind, with labels that fit its column count and without.
    calls = add_call (calls, ["X = " label], v, y0, options0);
    N = host_columns (v);
    calls = add_call (calls, ["X = " label ", matching y"], v, 2 * mod (1:N, 2) - 1, options0);
    calls = add_call (calls, ["X alone = " label], v);
    % y of every kind.
    calls = add_call (calls, ["y = " label], X0, v, options0);
    % The options argument, and every option field, of every kind.
    calls = add_call (calls, ["options = " label], X0, y0, v);
    if (mod (k - 1 - every_offset, every) != 0)
      continue;
    end
    for field = option_names ()
      options = struct ("nbite", 20, "seed", 3);
      options.(field{1}) = v;
      calls = add_call (calls, [field{1} " = " label], X0, y0, options);
    end
    % The same as name/value pairs, and every kind in the place of a name.
    calls = add_call (calls, ["'biasmult', " label], X0, y0, "nbite", 20, "seed", 3, "biasmult", v);
    calls = add_call (calls, ["'w0', " label], X0, y0, "nbite", 20, "seed", 3, "w0", v, "biasmult", 0);
    calls = add_call (calls, ["name " label], X0, y0, "nbite", 20, v, 3);
  end
  pairs = {{"Seed", 3}, {"NBITE", 20, "seed", 4}, {"seed"}, {"seed", 3, "nbite"}, {"lambda", 0.1, "Lambda", -1}, ...
           {"seeds", 3}, {"", 3}, {["se"; "ed"], 3}, {"sede", 3}, {"seed", []}, {repmat("seed", 1, 40), 3}};
  for k = 1:numel (pairs)
    calls = add_call (calls, sprintf ("name/value pairs, case %d", k), X0, y0, pairs{k}{:});
  end

  % Labels of every shape with N = 5 columns, and odd label values.
  for shape = {[1 5], [5 1], [0 5], [2 5], [1 5 1], [2 1 5], [1 4], [1 6]}
    calls = add_call (calls, ["y of " shape_text(shape{1})], X0, ones (shape{1}));
  end
  for label = {NaN, Inf, -Inf, -0, 0, 0.5, -0.5, 2^31, -2^31, 2^63, 1e300, 3}
    calls = add_call (calls, sprintf ("labels %g", label{1}), X0, repmat (label{1}, 1, 5), options0);
  end

  % Examples full of special values, and sizes at the edges.
  for fill = {NaN, Inf, -Inf, -0, 1e300, -1e300, 1e-310}
    calls = add_call (calls, sprintf ("X of %g", fill{1}), repmat (fill{1}, 2, 5), y0, options0);
  end
  calls = add_call (calls, "d = 0", zeros (0, 5), y0, options0);
  calls = add_call (calls, "d = 0 without bias", zeros (0, 5), y0, struct ("biasmult", 0, "seed", 1));
  calls = add_call (calls, "N = 0", zeros (3, 0), zeros (1, 0));
  calls = add_call (calls, "N = 0, nbite = -1", zeros (3, 0), zeros (1, 0), struct ("nbite", -1));
  calls = add_call (calls, "N = 0, lambda = -1", zeros (3, 0), zeros (1, 0), struct ("lambda", -1));
  calls = add_call (calls, "d = 2^31 rows", zeros (2^31, 0), zeros (1, 0));
  calls = add_call (calls, "N = 2^31 columns", zeros (0, 2^31), zeros (0, 2^31));
  calls = add_call (calls, "N = 2^31-1 columns", zeros (0, 2^31 - 1), zeros (1, 0));
  calls = add_call (calls, "d = 1.5e9 (12 GB result)", zeros (1.5e9, 0), zeros (1, 0));
  calls = add_call (calls, "d = 2^31-1 (16 GB result)", zeros (2^31 - 1, 0), zeros (1, 0), struct ("biasmult", 0));

  % Every combination of awkward option values; on the short lists each
  % value once, beside values of the other options in turn.
  lambdas = {0, -0, -1, NaN, Inf, -Inf, 1e300, 1e-300};
  biasmults = {0, -1, NaN, Inf, 1e300, 1e-300, -0};
  seeds = {0, -1, NaN, 2^32, 2^63, 0.5};
  [s, b, l] = ndgrid (1:numel (seeds), 1:numel (biasmults), 1:numel (lambdas));
  combinations = [l(:), b(:), s(:)];
  if (short_lists ())
    k = (1:numel (lambdas))';
    combinations = [k, mod(k - 1, numel (biasmults)) + 1, mod(k - 1, numel (seeds)) + 1];
  end
  for k = 1:rows (combinations)
    lambda = lambdas{combinations(k, 1)};
    biasmult = biasmults{combinations(k, 2)};
    seed = seeds{combinations(k, 3)};
    options = struct ("lambda", lambda, "biasmult", biasmult, "nbite", 10, "seed", seed);
    calls = add_call (calls, sprintf ("lambda %g, biasmult %g, seed %g", lambda, biasmult, seed), X0, y0, options);
  end
  for nbite = {NaN, Inf, -Inf, -0, 0, 0.5, 2.9, -1, 2^31, 2^32, 2^63, -2^31, 1e300, int8(-5), true, uint32(2^31)}
    calls = add_call (calls, sprintf ("nbite %g", double (nbite{1})), X0, y0, struct ("nbite", nbite{1}));
  end
  % Example weights, starting weights and starting steps at their edges.
  for weights = {[1 1 1 1 1], [0 0 0 0 0], [1e300 1 0 2 1e-300], single([2 0 1 1 5]), [1; 2; 3; 4; 5], ...
                 [1 NaN 1 1 1], [1 Inf 1 1 1], [1 -1 1 1 1], -0 * [1 1 1 1 1]}
    calls = add_call (calls, sprintf ("weights %s", mat2str (weights{1})), X0, y0, "nbite", 50, "seed", 2, ...
                      "weights", weights{1});
  end
  for w0 = {[0; 0; 0], [1e300; -1e300; 1], single([1 2 3]), [1 2], [1 2 3 4], [NaN 0 0], [0 0 -Inf]}
    calls = add_call (calls, sprintf ("w0 %s", mat2str (w0{1})), X0, y0, "nbite", 50, "seed", 2, "w0", w0{1});
  end
  for startstep = {0, 1, 2^31, 2^53, 2^53 + 2, -1, 0.5, NaN, Inf, int64(7), true}
    calls = add_call (calls, sprintf ("startstep %g", double (startstep{1})), X0, y0, "nbite", 50, "seed", 2, ...
                      "startstep", startstep{1});
  end

  tally = run_calls (tally, "linsvm_fit", calls, memory_limited);

  % Failed calls, and calls the host cannot allocate for, leave the sampler alone.
  failing = {@() linsvm_fit(int8 (X0), y0), @() linsvm_fit(X0, y0'), @() linsvm_fit(X0, zeros (0, 5)), ...
             @() linsvm_fit(X0, y0, struct ("seed", 3, "nbite", "x")), @() linsvm_fit(zeros (2^31, 0), []), ...
             @() linsvm_fit(X0, y0, struct ("seed", 3), 1), @() linsvm_fit(X0, y0, "interrupt", "later")};
  if (memory_limited)
    failing{end + 1} = @() linsvm_fit(zeros (1.5e9, 0), zeros (1, 0));
  end
  for k = 1:numel (failing)
    tally.calls += 1;
    if (! sampler_state_untouched (failing{k}))
      tally.malformed += 1;
      tally = report (tally, sprintf ("linsvm_fit: failed call %s changed the sampler state", func2str (failing{k})));
    end
  end
  % The probe itself must see a call that does store a state.
  if (sampler_state_untouched (@() linsvm_fit(X0, y0, struct ("nbite", 3))))
    error ("hostile:probe", "the sampler state probe cannot see a successful call");
  end
endfunction

%% -------------------------------------------------------- scale_bilinear

function tally = scale_bilinear_suite (tally, values, memory_limited)
  X0 = uint8 (magic (4));
  size0 = [3 5];
  calls = cell (0, 2);

  calls = add_call (calls, "no arguments");
  calls = add_call (calls, "X only", X0);
  calls = add_call (calls, "X, size", X0, size0);
  for k = 1:20:numel (values)
    calls = add_call (calls, ["X, size, " value_label(values, k)], X0, size0, values{k}{2});
  end

  for k = 1:numel (values)
    calls = add_call (calls, ["X = " values{k}{1}], values{k}{2}, size0);
    calls = add_call (calls, ["X alone = " values{k}{1}], values{k}{2});
    calls = add_call (calls, ["size = " values{k}{1}], X0, values{k}{2});
  end

  % Every pair of awkward size values.
  sizes = {NaN, Inf, -Inf, -0, 0, 0.9, 1, 1.5, 2, 7.9, -1, -0.5, 2^31, 2^32, 2^63, 1e300, -2^31, 2^31 - 1, 1e9};
  for p = pairs_of (numel (sizes), numel (sizes))'
    calls = add_call (calls, sprintf ("size [%g %g]", sizes{p(1)}, sizes{p(2)}), X0, [sizes{p(1)} sizes{p(2)}]);
  end
  % Scale factors, and sizes from the aspect ratio, on images of other shapes.
  for factor = {0.5, 1, 1.5, 2, 1e-300, 5e-324, 0.1, 1/3, 1e4, 2^29, 2^31, 1e300, 0, -0, -1, NaN, Inf, -Inf}
    calls = add_call (calls, sprintf ("factor %g", factor{1}), X0, factor{1});
    calls = add_call (calls, sprintf ("factor %g on 1x200", factor{1}), filled ("uint8", [1 200], []), factor{1});
  end
  for aspect = {[3 NaN], [NaN 3], [0 NaN], [NaN 0], [NaN 1e9], [2^31-1 NaN], [NaN 2^31-1], [NaN -1], [NaN NaN 3]}
    calls = add_call (calls, sprintf ("size %s on 2x300", mat2str (aspect{1})), filled ("uint8", [2 300], []), aspect{1});
    calls = add_call (calls, sprintf ("size %s on 300x2x3", mat2str (aspect{1})), filled ("single", [300 2 3], []), ...
                      aspect{1});
  end
  for size_value = {[3; 5], [3 5 7], 3, zeros(1, 0), [3 5; 7 9], single([3 5]), int32([3 5]), ...
                    uint8([3 5]), logical([1 1]), sparse([3 5]), complex([3 5], [0 0]), {3, 5}, "35", ...
                    struct("ny", 3, "nx", 5), reshape([3 5], 1, 1, 2)}
    calls = add_call (calls, ["size of class " class(size_value{1}) " " shape_text(size (size_value{1}))], ...
                      X0, size_value{1});
  end

  % Images of every shape, contents and size, including one row or column,
  % more than two dimensions, and outputs long enough for the summed sample
  % position to reach the last row or column.
  images = {uint8(7), uint8([0 255]), uint8([0; 255]), uint8([0 50; 100 150]), ...
            filled("uint8", [3 4 3], []), filled("uint8", [2 3 3 2], []), filled("uint8", [1 200], []), ...
            filled("uint8", [200 1], []), repmat(uint8(255), 5, 6), filled("uint8", [10 2], []), ...
            filled("uint16", [3 4 3], []), int16([-32768 32767; 0 -1]), repmat(intmax("uint16"), 5, 6), ...
            single([NaN Inf; -Inf -0]), [1e300 -1e300; realmin -realmax], filled("single", [200 1], []), ...
            filled("double", [10 2], []), filled("int16", [1 200], [])};
  outputs = {[0 0], [0 3], [3 0], [1 1], [1 5], [5 1], [7 9], [2 2], [1 300], [300 1], [100000 2], [2 100000]};
  for p = pairs_of (numel (images), numel (outputs))'
    [i, o] = deal (p(1), p(2));
    calls = add_call (calls, sprintf ("%s %s to %s", class (images{i}), shape_text (size (images{i})), ...
                                      shape_text (outputs{o})), images{i}, outputs{o});
  end

  % Results the host cannot allocate.
  calls = add_call (calls, "size [1e9 1e9]", X0, [1e9 1e9]);
  calls = add_call (calls, "size [2^31-1 2^31-1]", X0, [2^31 - 1, 2^31 - 1]);
  tally = run_calls (tally, "scale_bilinear", calls, memory_limited);

  % After the host refused an allocation the module works as before.
  before = scale_bilinear (uint8 ([0 50; 100 150]), [3 3]);
  try
    scale_bilinear (X0, [1e9 1e9]);
  catch
  end
  tally.calls += 1;
  if (! isequal (scale_bilinear (uint8 ([0 50; 100 150]), [3 3]), before))
    tally.malformed += 1;
    tally = report (tally, "scale_bilinear: results changed after an allocation failure");
  end
endfunction

%% ---------------------------------------------------------- resize_image

function tally = resize_image_suite (tally, values, memory_limited)
  X0 = uint8 (magic (4));
  calls = cell (0, 2);

  calls = add_call (calls, "no arguments");
  calls = add_call (calls, "X only", X0);
  calls = add_call (calls, "X, scale", X0, 0.5);
  % Every hostile value as the image, the size, the method, an option name
  % and each option's value; on the short lists every other (the slots share
  % their parsing code, and this loop is most of the calls).
  step = 1 + short_lists ();
  for k = 1:step:numel (values)
    calls = add_call (calls, ["X = " values{k}{1}], values{k}{2}, 0.7);
    calls = add_call (calls, ["size = " values{k}{1}], X0, values{k}{2});
    calls = add_call (calls, ["method = " values{k}{1}], X0, [3 5], values{k}{2});
    calls = add_call (calls, ["option name = " values{k}{1}], X0, [3 5], values{k}{2}, 1);
    calls = add_call (calls, ["Antialiasing = " values{k}{1}], X0, 0.5, "Antialiasing", values{k}{2});
    calls = add_call (calls, ["OutputSize = " values{k}{1}], X0, "OutputSize", values{k}{2});
  end
  for k = 1:20:numel (values)
    calls = add_call (calls, ["Method = " values{k}{1}], X0, 0.5, "Method", values{k}{2});
  end

  % Every pair of awkward size values, and scale factors.
  sizes = {NaN, Inf, -Inf, -0, 0, 0.9, 1, 1.5, 2, 7, -1, 2^31, 2^31 - 1, 1e300, -2^31, 1e9};
  for p = pairs_of (numel (sizes), numel (sizes))'
    calls = add_call (calls, sprintf ("size [%g %g]", sizes{p(1)}, sizes{p(2)}), X0, [sizes{p(1)} sizes{p(2)}]);
  end
  for factor = {0.5, 1, 1.5, 2, 1e-300, 5e-324, 1e-7, 0.1, 1/3, 1e4, 2^29, 2^31, 1e300, 0, -1, NaN, Inf}
    calls = add_call (calls, sprintf ("factor %g", factor{1}), X0, factor{1});
    calls = add_call (calls, sprintf ("factor %g on 1x200, lanczos3", factor{1}), filled ("uint8", [1 200], []), ...
                      factor{1}, "lanczos3");
    calls = add_call (calls, sprintf ("factor %g, no antialiasing", factor{1}), X0, factor{1}, "Antialiasing", false);
  end
  % Option forms: names in any case, repeated, misplaced, missing values.
  forms = {{"bicubic"}, {"BOX"}, {"cubic"}, {"Method", "nearest"}, {"method", "LANCZOS2"}, ...
           {"Antialiasing", true, "Antialiasing", 0}, {"OutputSize", [3 5]}, {"bilinear", "Method", "box"}, ...
           {"Method"}, {"bicubic", "Method"}, {"Antialiasing"}, {"nearest", "Antialiasing", 1}, ...
           {"Method", "box", "Method", "bogus"}, {"OutputSize", [3 5], "OutputSize", [4 4]}, {""}, {"", 1}, ...
           {"Scale", 0.5}, {"scale", [2 0.5], "Method", "Linear"}, {"Scale", [1 NaN]}, {"Scale", [1 2 3]}, ...
           {"Scale", 2, "OutputSize", [3 5]}, {"nearest", "Antialiasing", true, "Scale", 1e-7}, ...
           {"OutputSize", gray(3)}};
  calls = add_call (calls, "X, a colour map", X0, gray (3), "bilinear");
  for f = 1:numel (forms)
    calls = add_call (calls, sprintf ("X, [6 2], form %d", f), X0, [6 2], forms{f}{:});
    calls = add_call (calls, sprintf ("X, form %d", f), X0, forms{f}{:});
  end

  % Images of every class and shape, every method, shrinking and enlarging.
  images = {uint8(7), uint8([0 255]), uint8([0; 255]), filled("uint8", [3 4 3], []), ...
            filled("uint8", [2 3 3 2], []), filled("uint8", [1 200], []), repmat(uint8(255), 5, 6), ...
            filled("uint16", [3 4 3], []), int16([-32768 32767; 0 -1]), single([NaN Inf; -Inf -0]), ...
            [1e300 -1e300; realmin -realmax], filled("double", [10 2], []), logical([1 0; 0 1]), ...
            int8([-128 127; 0 -1]), int32([intmin("int32") intmax("int32"); 0 -1]), ...
            uint32([0 intmax("uint32") 1]), ...
            filled("logical", [7 3 2], [])};
  outputs = {[0 0], [0 3], [1 1], [1 5], [7 9], [2 2], [1 300], [300 1], [100000 2]};
  methods = {"nearest", "bilinear", "bicubic", "box", "triangle", "lanczos2", "lanczos3"};
  for i = 1:numel (images)
    for o = 1:numel (outputs)
      method = methods{mod (i + o, numel (methods)) + 1};
      calls = add_call (calls, sprintf ("%s %s to %s, %s", class (images{i}), shape_text (size (images{i})), ...
                                        shape_text (outputs{o}), method), images{i}, outputs{o}, method);
    end
  end

  % Results the host cannot allocate.
  calls = add_call (calls, "size [1e9 1e9]", X0, [1e9 1e9]);
  calls = add_call (calls, "size [2^31-1 2^31-1]", X0, [2^31 - 1, 2^31 - 1], "nearest");
  tally = run_calls (tally, "resize_image", calls, memory_limited);

  % After the host refused an allocation the module works as before.
  before = resize_image (uint8 ([10 20; 30 40]), 2, "bilinear");
  try
    resize_image (X0, [1e9 1e9]);
  catch
  end
  tally.calls += 1;
  if (! isequal (resize_image (uint8 ([10 20; 30 40]), 2, "bilinear"), before))
    tally.malformed += 1;
    tally = report (tally, "resize_image: results changed after an allocation failure");
  end
endfunction

%% --------------------------------------------------------------- luma_u8

function tally = luma_u8_suite (tally, values, memory_limited)
  rgb0 = filled ("uint8", [4 5 3], []);
  calls = cell (0, 2);

  calls = add_call (calls, "no arguments");
  calls = add_call (calls, "RGB", rgb0);
  for k = 1:20:numel (values)
    calls = add_call (calls, ["RGB, " value_label(values, k)], rgb0, values{k}{2});
  end
  for k = 1:numel (values)
    calls = add_call (calls, ["RGB = " values{k}{1}], values{k}{2});
  end
  shapes = {[1 1 3], [0 0 3], [0 5 3], [4 0 3], [4 5 3], [4 5 3 2], [4 5 3 1 2], [4 5 4], [4 5 2], ...
            [4 5], [4 5 1 3], [1 1 3 1 1], [1000 1 3], [1 1000 3], [3 1], [1 3], [3 3 3 3 3]};
  for s = 1:numel (shapes)
    for fill = {[], 0, 255, 63, 252}
      calls = add_call (calls, sprintf ("uint8 %s", shape_text (shapes{s})), filled ("uint8", shapes{s}, fill{1}));
    end
  end
  tally = run_calls (tally, "luma_u8", calls, memory_limited);
endfunction

%% ------------------------------------------------------------------- main

args = argv ();
addpath (args{1});
memory_limited = any (strcmp (args, "--memory-limited"));
every = 1;
every_offset = 0;
at = find (strcmp (args, "--every"), 1);
if (! isempty (at))
  every = str2double (args{at + 1});
end
at = find (strcmp (args, "--offset"), 1);
if (! isempty (at))
  every_offset = str2double (args{at + 1});
end
modules = {"linsvm_fit", "scale_bilinear", "luma_u8", "resize_image"};
only = find (strcmp (args, "--only"), 1);
if (! isempty (only))
  modules = args(only + 1);
end
missing = modules(cellfun (@(name) ! isfile (fullfile (args{1}, [name ".mex"])) ...
                                    && ! isfile (fullfile (args{1}, [name ".oct"])), modules));
if (! isempty (missing))
  error ("hostile:missing", "no module %s in %s", strjoin (missing, ", "), args{1});
end

values = hostile_values ();
tally = new_tally ();
for k = 1:numel (modules)
  suite = str2func ([modules{k} "_suite"]);
  if (strcmp (modules{k}, "linsvm_fit"))
    tally = suite (tally, values, memory_limited, every, every_offset);
  else
    tally = suite (tally, values, memory_limited);
  end
end

for k = 1:numel (tally.reports)
  printf ("  %s\n", tally.reports{k});
end
printf ("hostile (%s): %d calls, %d results, %d errors (%d host out-of-memory), %d malformed results, %d unexpected errors, %d left out as too large\n", ...
        strjoin (modules, ", "), tally.calls, tally.results, tally.errors, tally.out_of_memory, tally.malformed, ...
        tally.unexpected_errors, tally.skipped);
exit (double (tally.malformed > 0 || tally.unexpected_errors > 0));
