function outdir = build_mex(varargin)
% BUILD_MEX  Compile the modules linsvm_fit, scale_bilinear, luma_u8 and resize_image.
%
%   build_mex
%   build_mex(OUTDIR)
%   build_mex(OUTDIR, NAMES)
%   build_mex(..., 'force')
%   outdir = build_mex(...)
%
%   Compiles each module with the host's own compiler command: in MATLAB as
%   a MEX module (mex, with the compiler chosen by "mex -setup C++"), in GNU
%   Octave as an oct-file (mkoctfile: Octave's own interface, whose results
%   Octave takes over without the copy it makes of MEX results). Each
%   module's help file is copied beside it, where "help NAME" finds it. Then
%   add OUTDIR to the path:
%
%     addpath(build_mex())
%
%   OUTDIR defaults to build/matlab (MATLAB) or build/octave (Octave) below
%   this file's folder. NAMES is a cell array of module names to build,
%   default all the modules of build_rules.mk.
%
%   A module already in OUTDIR that is newer than all its sources (its
%   folder's files, host/, common/) and build_rules.mk is up to date and is
%   not compiled again (its help file is still copied); 'force' as the last
%   argument compiles every named module all the same.
%
%   What is built, and with which flags, comes from build_rules.mk beside
%   this file, the build rules that every build route reads: the modules
%   (each module's folder, kernel sources and entry files), the exact-arithmetic
%   flags (C++17, -ffp-contract=off and -fno-fast-math for GCC and Clang,
%   MinGW included; /fp:precise for Microsoft Visual C++; never -ffast-math,
%   never -march=native) and the instruction-set variants. A variant file
%   NAME_<variant>.cpp of a module's folder is compiled, on its own with the
%   variant's flags, only when the host's architecture is the variant's
%   target (computer('arch') in MATLAB: glnxa64, maci64 and win64 are
%   x86-64, maca64 is arm64; the host type of computer() in Octave); on
%   x86-64 the module chooses AVX2 and AVX-512 code at run time, only on
%   processors that have the instructions.

  force = ~isempty(varargin) && ischar(varargin{end}) && strcmp(varargin{end}, 'force');
  if force
    varargin(end) = [];
  end
  if numel(varargin) > 2
    error('build_mex:arguments', 'usage: build_mex(OUTDIR, NAMES, ''force''), each argument optional');
  end
  outdir = '';
  names = {};
  if numel(varargin) >= 1
    outdir = varargin{1};
  end
  if numel(varargin) >= 2
    names = varargin{2};
  end
  root = fileparts(mfilename('fullpath'));
  rules_file = fullfile(root, 'build_rules.mk');
  rules = read_build_rules(rules_file);
  known = rule_words(rules, 'MODULES');
  in_octave = exist('OCTAVE_VERSION', 'builtin') ~= 0;
  if isempty(outdir)
    if in_octave
      outdir = fullfile(root, 'build', 'octave');
    else
      outdir = fullfile(root, 'build', 'matlab');
    end
  end
  if isempty(names)
    names = known;
  end
  if ischar(names)
    names = {names};
  end
  unknown = setdiff(names, known);
  if ~isempty(unknown)
    error('build_mex:unknownModule', 'unknown module: %s (known: %s)', ...
          unknown{1}, strjoin(known, ', '));
  end

  if ~exist(outdir, 'dir')
    [ok, message] = mkdir(outdir);
    if ~ok
      error('build_mex:outdir', 'cannot create %s: %s', outdir, message);
    end
  end
  objdir = tempname();
  mkdir(objdir);
  cleanup = onCleanup(@() remove_folder(objdir, in_octave));

  flags = compiler_flags(in_octave, rules);
  variants = target_variants(rules, host_architecture(in_octave));
  for k = 1:numel(known)
    name = known{k};
    if ~any(strcmp(names, name))
      continue;
    end
    folder = fullfile(root, strrep(rule(rules, ['MODULE_' name '_FOLDER']), '/', filesep));
    sources = cellfun(@(file) fullfile(folder, file), [rule_words(rules, ['MODULE_' name '_ENTRY']), ...
                                                       rule_words(rules, ['MODULE_' name '_KERNELS'])], ...
                      'UniformOutput', false);
    missing = sources(cellfun(@(file) ~exist(file, 'file'), sources));
    if ~isempty(missing)
      error('build_mex:noSources', 'source %s of %s is missing', missing{1}, name);
    end
    help_file = fullfile(folder, [name '.m']);
    if ~exist(help_file, 'file')
      error('build_mex:noHelp', 'help file %s is missing', help_file);
    end
    % The help file and the functions in Octave's language that go beside the module.
    beside = [{help_file}, cellfun(@(file) fullfile(folder, file), rule_words(rules, ['MODULE_' name '_FUNCTIONS']), ...
                                   'UniformOutput', false)];
    if ~force && is_up_to_date(module_file(in_octave, outdir, name), ...
                               {folder, fullfile(root, 'host'), fullfile(root, 'common'), rules_file})
      fprintf('build_mex: %s is up to date (build_mex(..., ''force'') compiles it again)\n', name);
      copy_beside(beside, outdir);
      continue;
    end
    % Each variant file on its own, with its variant's flags.
    objects = {};
    for v = 1:numel(variants)
      listing = dir(fullfile(folder, ['*_' variants{v} '.cpp']));
      for j = 1:numel(listing)
        objects{end + 1} = compile_object(in_octave, flags, variant_flags(rules, variants{v}, flags.msvc), ...
                                          root, fullfile(folder, listing(j).name), objdir); %#ok<AGROW>
      end
    end
    fprintf('build_mex: %s from %d source file(s)\n', name, numel(sources) + numel(objects));
    link_module(in_octave, flags, rules, root, name, [sources, objects], outdir);
    copy_beside(beside, outdir);
  end
  fprintf('build_mex: modules are in %s\n', outdir);
end

% The module file that building NAME into OUTDIR makes.
function file = module_file(in_octave, outdir, name)
  if in_octave
    file = fullfile(outdir, [name '.oct']);
  else
    file = fullfile(outdir, [name '.' mexext()]);
  end
end

% Whether FILE exists and is newer than every file of INPUTS (folders, whose
% files count, and files). dir gives whole seconds: a tie is not newer.
function result = is_up_to_date(file, inputs)
  built = dir(file);
  result = numel(built) == 1;
  for k = 1:numel(inputs)
    if ~result
      return;
    end
    listing = dir(inputs{k});
    listing = listing(~[listing.isdir]);
    result = isempty(listing) || built.datenum > max([listing.datenum]);
  end
end

function rules = read_build_rules(file)
% The NAME = value lines of build_rules.mk, as a structure of strings.
  text = fileread(file);
  lines = regexp(text, '\r?\n', 'split');
  rules = struct();
  for k = 1:numel(lines)
    line = strtrim(lines{k});
    if isempty(line) || line(1) == '#'
      continue;
    end
    tokens = regexp(line, '^([A-Za-z0-9_]+)\s*=(.*)$', 'tokens', 'once');
    if isempty(tokens)
      error('build_mex:badRules', '%s: not a NAME = value line: %s', file, line);
    end
    rules.(tokens{1}) = strtrim(tokens{2});
  end
end

% The value of a rule, '' when the rules do not have it.
function copy_beside(files, outdir)
  for k = 1:numel(files)
    copyfile(files{k}, outdir);
  end
end

function value = rule(rules, name)
  value = '';
  if isfield(rules, name)
    value = rules.(name);
  end
end

% The words of a rule's value, as a cell row.
function list = rule_words(rules, name)
  value = rule(rules, name);
  list = {};
  if ~isempty(value)
    list = regexp(value, '\s+', 'split');
  end
end

function flags = compiler_flags(in_octave, rules)
% The flags of every compile (common), and whether the compiler is Microsoft
% Visual C++ (msvc), whose own variants of the rules' flags apply.
  flags.msvc = false;
  if ~in_octave
    config = mex.getCompilerConfigurations('C++', 'Selected');
    if isempty(config)
      error('build_mex:noCompiler', 'no C++ compiler selected: run "mex -setup C++" first');
    end
    flags.msvc = ~isempty(strfind(lower(config(1).ShortName), 'msvc'));
  end
  if flags.msvc
    flags.common = rule(rules, 'EXACT_FLAGS_MSVC');
  else
    flags.common = rule(rules, 'EXACT_FLAGS');
    if is_gcc(in_octave)
      flags.common = [flags.common ' ' rule(rules, 'GCC_ONLY_FLAGS')];
    end
  end
end

function result = variant_flags(rules, variant, msvc)
  if msvc
    result = rule(rules, ['VARIANT_' variant '_FLAGS_MSVC']);
  else
    result = rule(rules, ['VARIANT_' variant '_FLAGS']);
  end
end

% The variants of the rules whose target is ARCHITECTURE.
function variants = target_variants(rules, architecture)
  all_variants = rule_words(rules, 'VARIANTS');
  targets = cellfun(@(variant) rule(rules, ['VARIANT_' variant '_TARGET']), all_variants, 'UniformOutput', false);
  variants = all_variants(strcmp(targets, architecture));
end

% 'x86_64', 'arm64' or 'other': the processor the host runs on, which its
% modules are built for.
function architecture = host_architecture(in_octave)
  if in_octave
    host = computer();
    x86 = strncmp(host, 'x86_64', 6) || strncmp(host, 'amd64', 5);
    arm = strncmp(host, 'aarch64', 7) || strncmp(host, 'arm64', 5);
  else
    host = computer('arch');
    x86 = any(strcmp(host, {'glnxa64', 'maci64', 'win64'}));
    arm = strcmp(host, 'maca64');
  end
  if x86
    architecture = 'x86_64';
  elseif arm
    architecture = 'arm64';
  else
    architecture = 'other';
  end
end

function result = is_gcc(in_octave)
  if in_octave
    compiler = strtrim(mkoctfile('-p', 'CXX'));
  else
    config = mex.getCompilerConfigurations('C++', 'Selected');
    compiler = config(1).Details.CompilerExecutable;
  end
  [status, output] = system(['"' compiler '" --version']);
  result = status == 0 && ~isempty(strfind(output, 'Free Software Foundation')) ...
           && isempty(strfind(lower(output), 'clang'));
end

function object = compile_object(in_octave, flags, isa_flags, root, source, objdir)
  [~, base] = fileparts(source);
  if in_octave
    object = fullfile(objdir, [base '.o']);
    args = [{'-c'}, split_flags([flags.common ' ' isa_flags]), {['-I' root], source, '-o', object}];
    mkoctfile(args{:});
  else
    variable = compiler_flags_variable(flags);
    mex('-c', '-outdir', objdir, ['-I' root], [variable flags.common ' ' isa_flags], source);
    found = dir(fullfile(objdir, [base '.o*']));
    if isempty(found)
      error('build_mex:noObject', 'mex -c did not leave an object file for %s', source);
    end
    object = fullfile(objdir, found(1).name);
  end
end

% MATLAB's mex takes extra compiler flags by appending to the variable of
% the compiler in use.
function variable = compiler_flags_variable(flags)
  if flags.msvc
    variable = 'COMPFLAGS=$COMPFLAGS ';
  else
    variable = 'CXXFLAGS=$CXXFLAGS ';
  end
end

function link_module(in_octave, flags, rules, root, name, inputs, outdir)
  if in_octave
    args = [split_flags([flags.common ' ' rule(rules, 'OCT_FLAGS')]), {['-I' root]}, inputs, ...
            {'-o', fullfile(outdir, [name '.oct'])}];
    mkoctfile(args{:});
  else
    variable = compiler_flags_variable(flags);
    mex('-outdir', outdir, '-output', name, ['-I' root], [variable flags.common], inputs{:});
  end
end

function remove_folder(folder, in_octave)
  if in_octave
    confirm_recursive_rmdir(false, 'local');
  end
  rmdir(folder, 's');
end

function parts = split_flags(text)
  parts = regexp(strtrim(text), '\s+', 'split');
end
