function write_libsvm (file, X, y)
  % Writes X (d x N, one example per column) and labels y in LIBSVM's text
  % format, leaving out zero features as the format allows. %.17g keeps
  % every double exact, so LIBLINEAR reads the very values linsvm_fit gets.
  [fid, message] = fopen (file, "w");
  if (fid < 0)
    error ("write_libsvm: cannot write %s: %s", file, message);
  endif
  for j = 1:columns (X)
    k = find (X(:, j))';
    fprintf (fid, "%+d", y(j));
    fprintf (fid, " %d:%.17g", [k; X(k, j)']);
    fprintf (fid, "\n");
  endfor
  fclose (fid);
endfunction
