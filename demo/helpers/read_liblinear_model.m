function [w, b] = read_liblinear_model (file)
  % Feature weights w (column) and bias weight b of a two-class LIBLINEAR
  % model file trained with -B 1, signed so that w' * x + b > 0 predicts +1.
  text = fileread (file);
  header = regexp (text, '^(.*?)\nw\n(.*)$', "tokens", "once");
  if (isempty (header))
    error ("read_liblinear_model: %s has no weight section", file);
  endif
  labels = sscanf (regexp (header{1}, 'label ([^\n]*)', "tokens", "once"){1}, "%f");
  nr_feature = sscanf (regexp (header{1}, 'nr_feature (\d+)', "tokens", "once"){1}, "%d");
  bias = sscanf (regexp (header{1}, 'bias ([^\n]*)', "tokens", "once"){1}, "%f");
  weights = sscanf (header{2}, "%f");
  if (numel (labels) != 2 || bias <= 0 || numel (weights) != nr_feature + 1)
    error ("read_liblinear_model: %s is not a two-class model with a bias", file);
  endif
  % LIBLINEAR's weights score its first label.
  direction = sign (labels(1));
  w = direction * weights(1:nr_feature);
  b = direction * weights(end) * bias;
endfunction
