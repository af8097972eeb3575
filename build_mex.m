function outdir = build_mex(outdir, names)
% BUILD_MEX  Compile the MEX modules linsvm_fit, scale_bilinear and luma_u8.
%
%   build_mex
%   build_mex(OUTDIR)
%   build_mex(OUTDIR, NAMES)
%   outdir = build_mex(...)
%
%   Compiles each module with the host's own mex command, in MATLAB
%   (mex with the compiler chosen by "mex -setup C++") and in GNU Octave
%   (mex, that is mkoctfile --mex), and copies each module's help file
%   beside it so that "help NAME" works. Then add OUTDIR to the path:
%
%     addpath(build_mex())
%
%   OUTDIR defaults to build/matlab (MATLAB) or build/octave (Octave) below
%   this file's folder. NAMES is a cell array of module names to build,
%   default all three.
%
%   Every module is compiled as C++17 with exact floating-point arithmetic:
%   -ffp-contract=off and -fno-fast-math for GCC and Clang (MinGW included),
%   /fp:precise for Microsoft Visual C++; never -ffast-math, never
%   -march=native. GCC also gets -fno-gnu-unique, so that the host can
%   unload a module ("clear NAME"), and GCC and Clang get -pthread: the
%   kernels split large images across threads inside a call.
%
%   Instruction-set variants are compiled only for the architecture of the
%   host (computer('arch') in MATLAB: glnxa64, maci64 and win64 are x86-64,
%   maca64 is arm64; the host type of computer() in Octave). On x86-64, a
%   *_sse2.cpp file is compiled as it is, a *_avx2.cpp file on its own with
%   -mavx2 -mno-fma (/arch:AVX2) added, a *_avx512.cpp file with
%   -mavx512f and a *_avx512bw.cpp file with -mavx512f -mavx512bw (both
%   /arch:AVX512); the module
%   chooses those at run time only on processors that have the instructions.
%   On arm64, *_neon.cpp files are compiled (Advanced SIMD is part of every
%   arm64 processor). On any other architecture only the plain loops are.
%
%   The sources of a module are all .cpp files of its folder (see the table
%   at the top of the code), so a file added to a module folder is built
%   without changes here.

  % The one table of modules: name, folder below the repository root, help file.
  modules = {
    'linsvm_fit',     'svm',         'linsvm_fit.m'
    'scale_bilinear', 'image/scale', 'scale_bilinear.m'
    'luma_u8',        'image/gray',  'luma_u8.m'
  };

  root = fileparts(mfilename('fullpath'));
  in_octave = exist('OCTAVE_VERSION', 'builtin') ~= 0;
  if nargin < 1 || isempty(outdir)
    if in_octave
      outdir = fullfile(root, 'build', 'octave');
    else
      outdir = fullfile(root, 'build', 'matlab');
    end
  end
  if nargin < 2 || isempty(names)
    names = modules(:, 1)';
  end
  if ischar(names)
    names = {names};
  end
  unknown = setdiff(names, modules(:, 1)');
  if ~isempty(unknown)
    error('build_mex:unknownModule', 'unknown module: %s (known: %s)', ...
          unknown{1}, strjoin(modules(:, 1)', ', '));
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

  flags = compiler_flags(in_octave);
  architecture = host_architecture(in_octave);
  for k = 1:size(modules, 1)
    name = modules{k, 1};
    if ~any(strcmp(names, name))
      continue;
    end
    folder = fullfile(root, strrep(modules{k, 2}, '/', filesep));
    [plain, avx2, avx512, avx512bw] = module_sources(folder, architecture);
    if isempty(plain)
      error('build_mex:noSources', 'no sources for %s in %s', name, folder);
    end
    fprintf('build_mex: %s from %d source file(s)\n', name, numel(plain) + numel(avx2) + numel(avx512) + numel(avx512bw));

    objects = cell(1, numel(avx2) + numel(avx512) + numel(avx512bw));
    for j = 1:numel(avx2)
      objects{j} = compile_object(in_octave, flags, flags.avx2, root, avx2{j}, objdir);
    end
    for j = 1:numel(avx512)
      objects{numel(avx2) + j} = compile_object(in_octave, flags, flags.avx512, root, avx512{j}, objdir);
    end
    for j = 1:numel(avx512bw)
      objects{numel(avx2) + numel(avx512) + j} = ...
        compile_object(in_octave, flags, flags.avx512bw, root, avx512bw{j}, objdir);
    end
    link_module(in_octave, flags, root, name, [plain, objects], outdir);

    help_file = fullfile(folder, modules{k, 3});
    if ~exist(help_file, 'file')
      error('build_mex:noHelp', 'help file %s is missing', help_file);
    end
    copyfile(help_file, fullfile(outdir, modules{k, 3}));
  end
  fprintf('build_mex: modules are in %s\n', outdir);
end

function flags = compiler_flags(in_octave)
% Extra compiler flags for every source (common), for *_avx2.cpp (avx2) and
% for *_avx512.cpp (avx512) and for *_avx512bw.cpp (avx512bw).
  flags.msvc = false;
  if ~in_octave
    config = mex.getCompilerConfigurations('C++', 'Selected');
    if isempty(config)
      error('build_mex:noCompiler', 'no C++ compiler selected: run "mex -setup C++" first');
    end
    flags.msvc = ~isempty(strfind(lower(config(1).ShortName), 'msvc'));
  end
  if flags.msvc
    flags.common = '/std:c++17 /fp:precise';
    flags.avx2 = '/arch:AVX2';
    flags.avx512 = '/arch:AVX512';
    flags.avx512bw = '/arch:AVX512';
  else
    flags.common = '-std=c++17 -ffp-contract=off -fno-fast-math -pthread';
    flags.avx2 = '-mavx2 -mno-fma';
    % AVX-512F implies FMA in Clang, so -mno-fma would switch it off again;
    % -ffp-contract=off alone keeps fused operations out of these files.
    flags.avx512 = '-mavx512f';
    flags.avx512bw = '-mavx512f -mavx512bw';
    % GCC binds some statics as unique symbols, which pins a module in
    % memory: the host could not unload it, and "clear linsvm_fit" could not
    % reset the sampler. Clang rejects the flag.
    if is_gcc(in_octave)
      flags.common = [flags.common ' -fno-gnu-unique'];
    end
  end
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

function [plain, avx2, avx512, avx512bw] = module_sources(folder, architecture)
% The .cpp files of a module folder that this architecture builds: plain
% holds those compiled with the common flags alone. Tests and benchmarks
% live elsewhere, but files named like them are skipped all the same.
  listing = dir(fullfile(folder, '*.cpp'));
  plain = {};
  avx2 = {};
  avx512 = {};
  avx512bw = {};
  for k = 1:numel(listing)
    file = listing(k).name;
    if ends_with(file, '_test.cpp') || ends_with(file, '_bench.cpp')
      continue;
    end
    path = fullfile(folder, file);
    x86_variant = ends_with(file, '_sse2.cpp') || ends_with(file, '_avx2.cpp') || ends_with(file, '_avx512.cpp') ...
                  || ends_with(file, '_avx512bw.cpp');
    if (x86_variant && ~strcmp(architecture, 'x86_64')) ...
       || (ends_with(file, '_neon.cpp') && ~strcmp(architecture, 'arm64'))
      continue;
    end
    if ends_with(file, '_avx2.cpp')
      avx2{end + 1} = path; %#ok<AGROW>
    elseif ends_with(file, '_avx512.cpp')
      avx512{end + 1} = path; %#ok<AGROW>
    elseif ends_with(file, '_avx512bw.cpp')
      avx512bw{end + 1} = path; %#ok<AGROW>
    else
      plain{end + 1} = path; %#ok<AGROW>
    end
  end
end

function object = compile_object(in_octave, flags, isa_flags, root, source, objdir)
  [~, base] = fileparts(source);
  if in_octave
    object = fullfile(objdir, [base '.o']);
    args = [{'-c'}, split_flags([flags.common ' ' isa_flags]), {['-I' root], source, '-o', object}];
    mex(args{:});
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

function link_module(in_octave, flags, root, name, inputs, outdir)
  if in_octave
    args = [split_flags(flags.common), {['-I' root]}, inputs, {'-o', fullfile(outdir, [name '.mex'])}];
    mex(args{:});
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

function result = ends_with(text, suffix)
  result = numel(text) >= numel(suffix) && strcmp(text(end - numel(suffix) + 1:end), suffix);
end
