% Compares another host's results of the recorded cases with Linux's (both
% from replay_cases.m or its like; encode_value.m describes the files). A
% case both mark repeatable must agree in every section, byte for byte; an
% unrepeatable one in its outcome's first line ("ok" or "error ID") and its
% number of outputs.
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

args = argv ();
cases = load (args{1}).cases;
modules = unique ({cases.name});
[linux_present, linux_repeatable, linux_sections] = read_results (args{2}, numel (cases));
[other_present, other_repeatable, other_sections] = read_results (args{3}, numel (cases));
section_names = {"outcome", "printed", "warning", "outputs"};
first_line = @(outcome) strtok (char (outcome), "\n");

% Per module: equal, unrepeatable, failed.
counts = zeros (numel (modules), 3);
for k = find (linux_present)'
  module = find (strcmp (cases(k).name, modules));
  if (! other_present(k))
    printf ("FAIL %s (%s): missing from %s\n", cases(k).label, cases(k).name, args{3});
    counts(module, 3) += 1;
    continue;
  end
  a = linux_sections(k, :);
  b = other_sections(k, :);
  if (linux_repeatable(k) && other_repeatable(k))
    differing = find (! cellfun (@isequal, a, b));
    if (isempty (differing))
      counts(module, 1) += 1;
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
  printf ("  %s: %d equal byte for byte, %d unrepeatable (outcome compared), %d failed\n", modules{m}, counts(m, :));
end
total = sum (counts, 1);
printf ("%d cases: %d equal byte for byte, %d unrepeatable (outcome compared), %d failed; %d not compared (not in %s)\n", ...
        sum (total), total, sum (! linux_present), args{2});
exit (double (total(3) > 0 || sum (total) == 0));
