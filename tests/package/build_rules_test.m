% The build rules are written once (build_rules.mk) and every build route
% follows them: CMake, the package's src/Makefile and build_mex.m each compile
% the same files, each variant file with its variant's flags and every file
% with the exact-arithmetic flags; and with one variant of this processor
% taken out of the rules alone (its files left in place), no route compiles
% its files or uses its flags. Each route is asked what it would compile: CMake
% through compile_commands.json, the Makefile through make -n, build_mex.m
% through a stand-in for mex that records its calls.
% Usage: octave-cli build_rules_test.m REPOSITORY_ROOT
1;

function rules = read_rules (file)
  rules = struct ();
  for line = strsplit (fileread (file), "\n")
    tokens = regexp (line{1}, '^([A-Za-z0-9_]+)\s*=(.*)$', "tokens", "once");
    if (! isempty (tokens))
      rules.(tokens{1}) = strsplit (strtrim (tokens{2}));
      rules.(tokens{1})(cellfun (@isempty, rules.(tokens{1}))) = [];
    endif
  endfor
endfunction

function value = rule (rules, name)
  value = {};
  if (isfield (rules, name))
    value = rules.(name);
  endif
endfunction

function run_or_fail (command)
  [status, output] = system (command);
  if (status != 0)
    error ("build_rules_test: %s failed:\n%s", command, output);
  endif
endfunction

% compiles.(file) = the words of the command that compiles FILE (a .cpp file,
% by its name alone), for every command in COMMANDS (each a cell of words).
function compiles = compiled_files (commands)
  compiles = struct ();
  for k = 1:numel (commands)
    words = commands{k};
    for w = words(! cellfun (@isempty, regexp (words, '\.cpp$', "once")))
      [~, base] = fileparts (w{1});
      compiles.(base) = words;
    endfor
  endfor
endfunction

function commands = cmake_plan (tree)
  run_or_fail (sprintf ("cmake -S '%s' -B '%s/build-plan' -DBUILD_TESTING=OFF -DCMAKE_EXPORT_COMPILE_COMMANDS=ON", tree, tree));
  entries = jsondecode (fileread (fullfile (tree, "build-plan", "compile_commands.json")));
  commands = arrayfun (@(entry) strsplit (entry.command), entries, "UniformOutput", false);
endfunction

function commands = makefile_plan (tree)
  [status, tarball] = system (sprintf ("'%s/package/make_package.sh' '%s/package-plan'", tree, tree));
  if (status != 0)
    error ("build_rules_test: make_package.sh failed: %s", tarball);
  endif
  run_or_fail (sprintf ("tar -xzf '%s' -C '%s/package-plan'", strtrim (tarball), tree));
  source = glob (fullfile (tree, "package-plan", "*", "src")){1};
  [status, output] = system (sprintf ("make -n -C '%s' MKOCTFILE=mkoctfile", source));
  if (status != 0)
    error ("build_rules_test: make -n failed: %s", output);
  endif
  lines = strsplit (output, "\n");
  lines = lines(! cellfun (@isempty, regexp (lines, '^mkoctfile ', "once")) & cellfun (@isempty, strfind (lines, " -p ")));
  commands = cellfun (@strsplit, lines, "UniformOutput", false);
endfunction

function commands = build_mex_plan (tree, stand_in)
  global build_rules_test_calls
  build_rules_test_calls = {};
  warning ("off", "Octave:shadowed-function", "local");
  addpath (stand_in);
  addpath (tree);
  unwind_protect
    build_mex_here = fullfile (tree, "build_mex.m");
    if (! strcmp (which ("build_mex"), build_mex_here))
      error ("build_rules_test: build_mex is not %s", build_mex_here);
    endif
    evalc ("build_mex (fullfile (tree, 'build-mex-plan'));");
  unwind_protect_cleanup
    rmpath (tree);
    rmpath (stand_in);
    clear -f build_mex
  end_unwind_protect
  commands = build_rules_test_calls;
endfunction

% Rows (description, passed) for the plan of one route under RULES. (No
% spaces before parentheses inside the cell literals: they would split
% elements.)
function checks = check_plan (route, compiles, rules, architecture, variant_files, removed)
  checks = {};
  exact = rule (rules, "EXACT_FLAGS");
  planned = fieldnames (compiles);
  has_flags = @(file, flags) all (ismember (flags, compiles.(file)));
  ok = all (cellfun (@(file) has_flags (file, exact), planned));
  checks(end+1, :) = {sprintf("%s: every compile has %s", route, strjoin (exact)), ok};
  for module = rule (rules, "MODULES")
    plain = [rule(rules, ["MODULE_" module{1} "_ENTRY"]), rule(rules, ["MODULE_" module{1} "_KERNELS"])];
    [~, plain] = cellfun (@fileparts, plain, "UniformOutput", false);
    ok = all (ismember (plain, planned));
    checks(end+1, :) = {sprintf("%s: compiles %s", route, strjoin (plain, ", ")), ok};
  endfor
  for variant = rule (rules, "VARIANTS")
    files = variant_files.(variant{1});
    flags = rule (rules, ["VARIANT_" variant{1} "_FLAGS"]);
    if (strcmp (rule (rules, ["VARIANT_" variant{1} "_TARGET"]), architecture))
      ok = all (ismember (files, planned)) && all (cellfun (@(file) has_flags (file, flags), files));
      checks(end+1, :) = {sprintf("%s: compiles %s with '%s'", route, strjoin (files, ", "), strjoin (flags)), ok};
    else
      ok = ! any (ismember (files, planned));
      checks(end+1, :) = {sprintf("%s: leaves out %s (not for %s)", route, variant{1}, architecture), ok};
    endif
  endfor
  if (! isempty (removed))
    [name, files, flags] = deal (removed{:});
    % Variants may share flags (AVX-512 F and F with BW): no compile may hold
    % all of the removed variant's.
    uses_flags = any (cellfun (@(file) has_flags (file, flags), planned));
    ok = ! any (ismember (files, planned)) && ! uses_flags;
    checks(end+1, :) = {sprintf("%s: with %s out of the rules, compiles none of %s and no '%s'", ...
                                route, name, strjoin (files, ", "), strjoin (flags)), ok};
  endif
endfunction

args = argv ();
root = canonicalize_file_name (args{1});
addpath (fileparts (mfilename ("fullpath")));
work = tempname ();
mkdir (work);
confirm_recursive_rmdir (false);
cleanup = onCleanup (@() rmdir (work, "s"));
% Away from the repository, whose build_mex.m the current folder would offer.
cd (work);

rules = read_rules (fullfile (root, "build_rules.mk"));
if (any (strncmp (computer (), {"x86_64", "amd64"}, [6 5])))
  architecture = "x86_64";
elseif (any (strncmp (computer (), {"aarch64", "arm64"}, [7 5])))
  architecture = "arm64";
else
  architecture = "other";
endif
% The variant files of every module folder, by variant.
variant_files = struct ();
for variant = rule (rules, "VARIANTS")
  variant_files.(variant{1}) = {};
  for module = rule (rules, "MODULES")
    folder = fullfile (root, rule (rules, ["MODULE_" module{1} "_FOLDER"]){1});
    [~, names] = cellfun (@fileparts, glob (fullfile (folder, ["*_" variant{1} ".cpp"])), "UniformOutput", false);
    variant_files.(variant{1}) = [variant_files.(variant{1}), names'];
  endfor
endfor
% The last variant of this processor that has files and flags of its own is
% taken out.
mine = rule (rules, "VARIANTS");
mine = mine(cellfun (@(v) strcmp (rule (rules, ["VARIANT_" v "_TARGET"]), architecture) ...
                          && ! isempty (variant_files.(v)) && ! isempty (rule (rules, ["VARIANT_" v "_FLAGS"])), mine));
if (isempty (mine))
  printf ("build_rules_test: no variant with flags of its own for %s\n0 passed, 1 failed\n", architecture);
  exit (1);
endif
removed = {mine{end}, variant_files.(mine{end}), rule(rules, ["VARIANT_" mine{end} "_FLAGS"])};

% A stand-in for mex, first on the path while build_mex runs: records its
% arguments.
stand_in = fullfile (work, "stand_in");
mkdir (stand_in);
fid = fopen (fullfile (stand_in, "mex.m"), "w");
fputs (fid, "function mex (varargin)\n  global build_rules_test_calls\n  build_rules_test_calls{end+1} = varargin;\nend\n");
fclose (fid);
% And for mkoctfile, which build_mex runs in Octave; its queries (-p) go to
% the real one.
fid = fopen (fullfile (stand_in, "mkoctfile.m"), "w");
fputs (fid, ["function varargout = mkoctfile (varargin)\n", ...
             "  if (numel (varargin) == 2 && strcmp (varargin{1}, '-p'))\n", ...
             "    [~, varargout{1}] = system (['mkoctfile -p ' varargin{2}]);\n", ...
             "    return;\n", ...
             "  end\n", ...
             "  global build_rules_test_calls\n", ...
             "  build_rules_test_calls{end+1} = varargin;\n", ...
             "end\n"]);
fclose (fid);

failed = 0;
total = 0;
plans = {};
for version = {"as written", "with a variant taken out"}
  tree = fullfile (work, sprintf ("tree%d", numel (plans) + 1));
  mkdir (tree);
  run_or_fail (sprintf ("tar -C '%s' --exclude=./build --exclude='./build-*' --exclude=./.git -cf - . | tar -C '%s' -xf -", root, tree));
  if (strcmp (version{1}, "as written"))
    tree_rules = rules;
    taken_out = {};
  else
    % Out of VARIANTS, and every VARIANT_<name>_ line gone.
    text = fileread (fullfile (tree, "build_rules.mk"));
    text = regexprep (text, ['(?m)^(VARIANTS[ \t]*=[^\n]*?)[ \t]' removed{1} '(?=\s|$)'], "$1");
    text = regexprep (text, ['(?m)^VARIANT_' removed{1} '_\w*[ \t]*=[^\n]*\n'], "");
    fid = fopen (fullfile (tree, "build_rules.mk"), "w");
    fputs (fid, text);
    fclose (fid);
    tree_rules = read_rules (fullfile (tree, "build_rules.mk"));
    taken_out = removed;
    total += 1;
    if (any (strcmp (rule (tree_rules, "VARIANTS"), removed{1})))
      printf ("  FAIL  %s is out of VARIANTS\n", removed{1});
      failed += 1;
    else
      printf ("  ok    %s is out of the rules, its files are still there\n", removed{1});
    endif
  endif
  printf ("build rules %s:\n", version{1});
  routes = {"CMake", compiled_files(cmake_plan (tree))
            "package Makefile", compiled_files(makefile_plan (tree))
            "build_mex.m", compiled_files(build_mex_plan (tree, stand_in))};
  checks = {};
  for r = 1:rows (routes)
    checks = [checks; check_plan(routes{r, 1}, routes{r, 2}, tree_rules, architecture, variant_files, taken_out)];
  endfor
  same = all (cellfun (@(plan) isequal (sort (fieldnames (plan)), sort (fieldnames (routes{1, 2}))), routes(:, 2)));
  checks(end+1, :) = {"the three routes compile the same files", same};
  failed += report_checks (checks);
  total += rows (checks);
  plans{end+1} = routes;
endfor

cd (root);
printf ("%d passed, %d failed\n", total - failed, failed);
exit (double (failed > 0));
