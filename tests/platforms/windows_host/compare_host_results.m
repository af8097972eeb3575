% Compares another host's results of the recorded cases with Linux's (both
% from replay_cases.m or its like; encode_value.m describes the files). A
% case both mark repeatable must agree in every section, byte for byte; an
% unrepeatable one in its outcome's first line ("ok" or "error ID") and its
% number of outputs; printed wall times are masked; a floating-point image resized with Lanczos weights to
% a few units in the last place of its largest value (lanczos_near).
% Usage: octave-cli --no-history --no-gui --quiet compare_host_results.m CASES.mat LINUX_RESULTS.bin OTHER_RESULTS.bin
% Prints a line per failing case and a summary; exits with 1 on a failure,
% a case missing from OTHER, or no case to compare.
1;

% The records of a results file: present(k), repeatable(k) and the four
% sections of case k as rows of sections.
function [present, repeatable, sections] = read_results (file, case_count)
  fid = fopen (file, "r");
  if (fid < 0)
    error ("compare_host_results: cannot open %s", file);
  end
  data = fread (fid, Inf, "uint8=>uint8")';
  fclose (fid);
  if (numel (data) < 16 || ! strcmp (char (data(1:8)), "MEXRESLT") || typecast (data(9:12), "uint32") != 1)
    error ("compare_host_results: %s is no results file of version 1", file);
  end
  [present, repeatable] = deal (false (case_count, 1));
  sections = cell (case_count, 4);
  at = 17;
  for r = 1:typecast (data(13:16), "uint32")
    k = double (typecast (data(at:at + 3), "uint32")) + 1;
    repeatable(k) = data(at + 4) == 1;
    present(k) = true;
    at += 5;
    for p = 1:4
      n = double (typecast (data(at:at + 7), "uint64"));
      sections{k, p} = data(at + 8:at + 7 + n);
      at += 8 + n;
    end
  end
end

% Some 160 characters of a text, from a little before byte FROM.
function text = shortened (bytes, from)
  start = max (1, from - 60);
  text = strrep (char (bytes(start:min (end, start + 159))), "\n", "\\n");
  if (start > 1)
    text = ["..." text];
  end
  if (start + 159 < numel (bytes))
    text = [text "..."];
  end
end

% The values of an outputs section that holds one dense real single or double
% array; [] for anything else.
function values = floating_output (section)
  values = [];
  if (numel (section) < 10 || typecast (section(1:4), "uint32") != 1 || section(5) > 1 || section(6) != 0)
    return;
  end
  ndims = double (typecast (section(7:10), "uint32"));
  data = section(11 + 8 * ndims:end);
  values = double (typecast (data, {"double", "single"}{section(5) + 1}));
end

% Lanczos weights use the C library's sin, whose last bit may differ between
% systems: a floating-point image resized with them may differ by a few
% units in the last place of its largest value, NaNs in the same places.
function near = lanczos_near (the_case, a, b)
  near = false;
  if (! strcmp (the_case.name, "resize_image") || ! any (cellfun (@(v) ischar (v) && ! isempty (regexpi (v(:)', '^lanczos', "once")), the_case.args)))
    return;
  end
  x = floating_output (a);
  y = floating_output (b);
  if (isempty (x) || numel (x) != numel (y) || ! isequal (isnan (x), isnan (y)))
    return;
  end
  finite = isfinite (x);
  largest = max ([abs(x(finite))(:); 0]);
  near = isequal (x(! finite), y(! finite)) && all (abs (x(finite) - y(finite)) <= 16 * eps (largest));
end

% The wall times and rates of linsvm_fit's verbose lines, never the same
% twice (a short call prints 0.000 s or 0.001 s), masked.
function bytes = without_times (bytes)
  bytes = uint8 (regexprep (char (bytes), {'in \d+\.\d+ s', '[\d.e+]+ steps/s', 'about [\d.]+ s left'}, ...
                            {'in # s', '# steps/s', 'about # s left'}));
end

args = argv ();
cases = load (args{1}).cases;
modules = unique ({cases.name});
[linux_present, linux_repeatable, linux_sections] = read_results (args{2}, numel (cases));
[other_present, other_repeatable, other_sections] = read_results (args{3}, numel (cases));
section_names = {"outcome", "printed", "warning", "outputs"};
first_line = @(outcome) strtok (char (outcome), "\n");

% Per module: equal, unrepeatable, failed, Lanczos within rounding.
counts = zeros (numel (modules), 4);
for k = find (linux_present)'
  module = find (strcmp (cases(k).name, modules));
  if (! other_present(k))
    printf ("FAIL %s (%s): missing from %s\n", cases(k).label, cases(k).name, args{3});
    counts(module, 3) += 1;
    continue;
  end
  a = linux_sections(k, :);
  b = other_sections(k, :);
  [a{2}, b{2}] = deal (without_times (a{2}), without_times (b{2}));
  if (linux_repeatable(k) && other_repeatable(k))
    differing = find (! cellfun (@isequal, a, b));
    if (isempty (differing))
      counts(module, 1) += 1;
      continue;
    end
    if (isequal (differing, 4) && lanczos_near (cases(k), a{4}, b{4}))
      counts(module, 4) += 1;
      continue;
    end
    details = {};
    for p = differing
      if (p == 4)
        details{end + 1} = sprintf ("outputs differ (%d and %d bytes)", numel (a{p}), numel (b{p}));
      else
        common = min (numel (a{p}), numel (b{p}));
        from = find ([a{p}(1:common) != b{p}(1:common), true], 1);
        details{end + 1} = sprintf ("%s differs: '%s' and '%s'", section_names{p}, shortened (a{p}, from), ...
                                    shortened (b{p}, from));
      end
    end
    printf ("FAIL %s (%s): %s\n", cases(k).label, cases(k).name, strjoin (details, "; "));
    counts(module, 3) += 1;
  elseif (strcmp (first_line (a{1}), first_line (b{1})) && isequal (a{4}(1:4), b{4}(1:4)))
    counts(module, 2) += 1;
  else
    printf ("FAIL %s (%s), unrepeatable: outcome '%s' and '%s', %d and %d outputs\n", cases(k).label, ...
            cases(k).name, first_line (a{1}), first_line (b{1}), typecast (a{4}(1:4), "uint32"), ...
            typecast (b{4}(1:4), "uint32"));
    counts(module, 3) += 1;
  end
end

for m = 1:numel (modules)
  printf ("  %s: %d equal byte for byte, %d unrepeatable (outcome compared), %d failed", modules{m}, counts(m, 1:3));
  if (counts(m, 4) > 0)
    printf (", %d Lanczos images within 16 units in the last place of the largest (the C library's sin)", counts(m, 4));
  end
  printf ("\n");
end
total = sum (counts, 1);
printf ("%d cases: %d equal byte for byte, %d unrepeatable (outcome compared), %d failed, %d Lanczos within rounding; %d not compared (not in %s)\n", ...
        sum (total), total, sum (! linux_present), args{2});
exit (double (total(3) > 0 || sum (total) == 0));
