% Records every call that the Octave host tests make to the modules, as the
% cases the Windows host replays: OUTPUT_DIR/cases.bin (encode_value.m
% describes it) and the same cases as Octave values in OUTPUT_DIR/cases.mat.
% Usage: octave-cli --no-history --no-gui --quiet record_cases.m MEX_DIR OUTPUT_DIR
% The refused-memory test runs with the refusing allocator REFUSING_ALLOCATOR
% names, by default the one of the build tree MEX_DIR is in.
%
% The tests run as ctest runs them, each in its own octave-cli, with a
% recording folder in front of the modules: a wrapper NAME.m per module
% that keeps the call (record_call.m) and makes it with the module in the
% package folder +module/. A packaged module keeps its own name, which
% Octave puts in front of its messages, and a test's `clear NAME` can
% unload it (the wrapper clears it when loaded anew): `clear NAME` leaves
% a private/ module loaded, with its state. hostile_suite.m takes a folder
% holding the modules themselves (it checks for NAME.mex), which would
% shadow a wrapper beside them (Octave prefers .mex to .m within a folder):
% it is given recording/hostile/, whose PKG_ADD puts the recording folder
% in front of it when the suite adds it to the path.
1;

function text = quoted (text)
  text = ["'" strrep(text, "'", "'\\''") "'"];
end

function bytes = with_length (text)
  bytes = [typecast(uint32(numel (text)), "uint8"), uint8(text)];
end

function write_text (file, text)
  fid = fopen (file, "w");
  fputs (fid, text);
  fclose (fid);
end

args = argv ();
mex_dir = make_absolute_filename (args{1});
output_dir = make_absolute_filename (args{2});
here = fileparts (mfilename ("fullpath"));
addpath (here);  % encode_value
tests = fileparts (fileparts (here));
modules = {"linsvm_fit", "scale_bilinear", "luma_u8", "resize_image"};
allocator = getenv ("REFUSING_ALLOCATOR");
if (isempty (allocator))
  allocator = fullfile (fileparts (mex_dir), "tests", "host", "librefusing_allocator.so");
end
if (! isfile (allocator))
  error ("record_cases: no refusing allocator %s (set REFUSING_ALLOCATOR)", allocator);
end
started = tic ();

recording = fullfile (output_dir, "recording");
if (isfolder (recording))
  confirm_recursive_rmdir (false);
  rmdir (recording, "s");
end
mkdir (fullfile (recording, "+module"));
mkdir (fullfile (recording, "hostile"));
copyfile (fullfile (here, "record_call.m"), recording);
write_text (fullfile (recording, "hostile", "PKG_ADD"), sprintf ("addpath ('%s');\n", strrep (recording, "'", "''")));
for k = 1:numel (modules)
  name = modules{k};
  module = fullfile (mex_dir, [name ".mex"]);
  symlink (module, fullfile (recording, "+module", [name ".mex"]));
  symlink (module, fullfile (recording, "hostile", [name ".mex"]));
  % The module's help text first, for the tests that read it.
  help_file = fullfile (mex_dir, [name ".m"]);
  help_text = "";
  if (isfile (help_file))
    help_text = [fileread(help_file) "\n"];
  end
  write_text (fullfile (recording, [name ".m"]), [help_text, strrep([ ...
    "function varargout = NAME (varargin)\n" ...
    "  % Keeps the call, then makes it with the module, with the same nargout:\n" ...
    "  % a module sees nargout 0, and may still set ans.\n" ...
    "  persistent loaded = false;\n" ...
    "  if (! loaded)\n" ...
    "    clear module.NAME  % a test cleared NAME to load the module anew\n" ...
    "    loaded = true;\n" ...
    "  end\n" ...
    "  record_call (\"NAME\", nargout, varargin);\n" ...
    "  if (nargout == 0)\n" ...
    "    module.NAME (varargin{:});\n" ...
    "    if (exist (\"ans\", \"var\"))\n" ...
    "      varargout{1} = ans;\n" ...
    "    end\n" ...
    "  else\n" ...
    "    [varargout{1:nargout}] = module.NAME (varargin{:});\n" ...
    "  end\n" ...
    "end\n"], "NAME", name)]);
end

% {test file, arguments of octave-cli, environment}
runner = fullfile (tests, "host", "run_octave_test.m");
sessions = cell (0, 3);
for test = {"image/scale/scale_bilinear", "image/gray/luma_u8", "image/resize/resize_image", "svm/linsvm_fit"}
  file = fullfile (tests, [test{1} "_host_test.m"]);
  sessions(end + 1, :) = {file, {runner, recording, file}, ""};
end
file = fullfile (tests, "host", "refused_memory_test.m");
sessions(end + 1, :) = {file, {runner, recording, file}, ["LD_PRELOAD=" quoted(allocator) " OPENBLAS_NUM_THREADS=1"]};
file = fullfile (tests, "host", "hostile_suite.m");
sessions(end + 1, :) = {file, {file, fullfile(recording, "hostile")}, ""};

octave_cli = fullfile (OCTAVE_HOME (), "bin", "octave-cli");
calls = cell (0, 6);  % label, name, nargout, refusal mode, arguments, savable
for s = 1:rows (sessions)
  [~, file_name, extension] = fileparts (sessions{s, 1});
  printf ("recording %s\n", [file_name extension]);
  fflush (stdout);
  calls_file = fullfile (output_dir, "calls.mat");
  [~] = unlink (calls_file);
  arguments = sprintf (" %s", cellfun (@quoted, sessions{s, 2}, "uniformoutput", false){:});
  command = sprintf ("env -u REFUSE_MODULE_MEMORY -u LD_PRELOAD RECORD_CALLS_TO=%s %s %s --no-history --no-gui --quiet%s", ...
                     quoted (calls_file), sessions{s, 3}, quoted (octave_cli), arguments);
  if (system (command) != 0)
    error ("record_cases: %s failed with the recording folder", sessions{s, 1});
  end
  if (isfile (calls_file))
    loaded = load (calls_file);
    session = loaded.calls;
    labels = arrayfun (@(k) sprintf ("%s #%d", [file_name extension], k), (1:rows (session))', "uniformoutput", false);
    calls = [calls; labels, session];
    unlink (calls_file);
  end
end

% Encoded, without what the format cannot hold, too large, or made twice.
encodable = false (rows (calls), 1);
[case_bytes, keys] = deal (cell (rows (calls), 1));
[unsavable, unencodable, too_large] = deal (0);
for k = 1:rows (calls)
  [label, name, nargout_wanted, refuse, call_args, savable] = calls{k, :};
  if (! savable)
    unsavable += 1;
    continue;
  end
  try
    encoded = cellfun (@encode_value, call_args, "uniformoutput", false);
  catch err
    if (! strcmp (err.identifier, "encode_value:unsupported"))
      rethrow (err);
    end
    unencodable += 1;
    continue;
  end
  encoded = [encoded{:}];
  if (numel (encoded) > 16 * 2^20)
    too_large += 1;
    continue;
  end
  encodable(k) = true;
  keys{k} = sprintf ("%s %d %s %s", name, nargout_wanted, refuse, hash ("md5", char (encoded)));
  case_bytes{k} = [with_length(label), with_length(name), typecast(int32(nargout_wanted), "uint8"), ...
                   with_length(refuse), typecast(uint32(numel (call_args)), "uint8"), encoded];
end
% (containers.Map takes minutes over some ten thousand keys.)
candidates = find (encodable);
[~, first] = unique (keys(candidates), "first");
kept = false (rows (calls), 1);
kept(candidates(first)) = true;
duplicates = numel (candidates) - numel (first);
calls = calls(kept, :);

fid = fopen (fullfile (output_dir, "cases.bin"), "w");
fwrite (fid, [uint8("MEXCASES"), typecast(uint32([1, rows(calls)]), "uint8")]);
for bytes = case_bytes(kept)'
  fwrite (fid, bytes{1});
end
fclose (fid);
cases = struct ("label", calls(:, 1)', "name", calls(:, 2)', "nargout", calls(:, 3)', "refuse", calls(:, 4)', ...
                "args", calls(:, 5)');
save ("-binary", fullfile (output_dir, "cases.mat"), "cases");

per_module = cellfun (@(name) sprintf ("%s %d", name, sum (strcmp (calls(:, 2), name))), modules, "uniformoutput", false);
printf (["%d cases (%s); skipped %d not encodable, %d over 16 MiB, %d with a dimension of 2^31 or more " ...
         "(Octave's binary files cannot load them); %d duplicates; %.0f s\n"], rows (calls), ...
        strjoin (per_module, ", "), unencodable, too_large, unsavable, duplicates, toc (started));
