% Compares two files of platform_results.m: every image result byte for
% byte (NaNs included), every other integer-valued result (inputs, labels) exactly, and the
% trainer's weights to a few units in the last place of the largest weight
% (the instruction sets sum in different orders), reporting the largest
% difference and whether each is bit for bit the same.
% Usage: octave-cli compare_results.m REFERENCE OTHER [MAX_ULPS]
% Prints one line per result and "N passed, N failed"; exits with 1 on any failure.
1;
args = argv ();
reference = load (args{1});
other = load (args{2});
max_ulps = 32;
if (numel (args) >= 3)
  max_ulps = str2double (args{3});
endif
printf ("comparing %s with %s\n", args{2}, args{1});

names = fieldnames (reference);
missing = setdiff (fieldnames (other), names);
failed = 0;
passed = 0;
for k = 1:numel (names)
  name = names{k};
  a = reference.(name);
  if (! isfield (other, name))
    printf ("  FAIL  %s: missing\n", name);
    failed += 1;
    continue;
  endif
  b = other.(name);
  if (! strcmp (class (a), class (b)) || ! isequal (size (a), size (b)))
    printf ("  FAIL  %s: %s %s against %s %s\n", name, class (b), mat2str (size (b)), class (a), mat2str (size (a)));
    failed += 1;
  elseif (strncmp (name, "svm_", 4) && ! any (strcmp (name, {"svm_large_input", "svm_large_labels"})))
    % Weights: to a few units in the last place of the largest weight.
    unit = eps (max (abs (a(:))));
    ulps = max (abs (a(:) - b(:))) / unit;
    if (all (isfinite (a(:))) && all (isfinite (b(:))) && ulps <= max_ulps)
      if (isequal (a, b))
        printf ("  ok    %s: %d weights, bit for bit the same\n", name, numel (a));
      else
        printf ("  ok    %s: %d weights, largest difference %.1f units in the last place of the largest\n", name, numel (a), ulps);
      endif
      passed += 1;
    else
      printf ("  FAIL  %s: weights differ by %g units in the last place (at most %g allowed)\n", name, ulps, max_ulps);
      failed += 1;
    endif
  elseif (isequal (a, b) || (isfloat (a) && isequal (typecast (a(:), "uint8"), typecast (b(:), "uint8"))))
    % Floating-point images byte for byte: their NaNs too.
    printf ("  ok    %s: %s %s, identical\n", name, class (a), mat2str (size (a)));
    passed += 1;
  else
    differing = nnz (a(:) != b(:));
    printf ("  FAIL  %s: %d of %d elements differ\n", name, differing, numel (a));
    failed += 1;
  endif
endfor
for k = 1:numel (missing)
  printf ("  FAIL  %s: not in the reference\n", missing{k});
  failed += 1;
endfor
printf ("%d passed, %d failed\n", passed, failed);
exit (double (failed > 0 || passed == 0));
