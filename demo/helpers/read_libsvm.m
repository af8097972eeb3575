function [X, y] = read_libsvm (file)
  % Reads a data set in LIBSVM's text format ("label index:value ...", one
  % example a line, indices from 1, features absent from a line are 0) into
  % a dense d x N matrix X, one example per column, and a 1 x N label row y.
  text = fileread (file);
  lines = strsplit (strtrim (text), "\n");
  N = numel (lines);
  y = zeros (1, N);
  rows = {};
  columns = {};
  values = {};
  for j = 1:N
    fields = strsplit (strtrim (lines{j}));
    label = str2double (fields{1});
    if (isnan (label))
      error ("read_libsvm: line %d of %s has no numeric label", j, file);
    endif
    y(j) = label;
    pairs = sscanf (strjoin (fields(2:end), " "), "%d:%f", [2, Inf]);
    if (size (pairs, 2) != numel (fields) - 1)
      error ("read_libsvm: line %d of %s is not in index:value form", j, file);
    endif
    rows{j} = pairs(1, :);
    columns{j} = repmat (j, 1, size (pairs, 2));
    values{j} = pairs(2, :);
  endfor
  r = [rows{:}];
  if (any (r < 1))
    error ("read_libsvm: %s has a feature index below 1", file);
  endif
  X = full (sparse (r, [columns{:}], [values{:}], max (r), N));
endfunction
