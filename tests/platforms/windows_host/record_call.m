% record_call (name, nargout_wanted, args): the wrappers of record_cases.m
% keep each call here. Called without arguments (at exit) it saves them to
% the file RECORD_CALLS_TO names. A persistent list in a locked function,
% not a global one: test () warns of globals a test file leaves behind.
function record_call (name, nargout_wanted, args)
  persistent calls = cell (0, 4);
  persistent count = 0;
  if (nargin == 0)
    calls = calls(1:count, :);
    % Octave's binary files keep dimensions in 32 bits (an empty 2^31 x 0
    % cannot be loaded back): such calls are left out, marked so.
    savable = ! cellfun (@has_huge_dimension, calls(:, 4));
    calls(! savable, 4) = {{}};
    calls(:, 5) = num2cell (savable);
    if (! isempty (getenv ("RECORD_CALLS_TO")))
      save ("-binary", getenv ("RECORD_CALLS_TO"), "calls");
    end
    return;
  end
  if (count == 0)
    mlock ();
    atexit ("record_call");
  end
  if (count == rows (calls))
    calls(2 * count + 64, :) = {[]};  % grows by doubling
  end
  count += 1;
  calls(count, :) = {name, nargout_wanted, getenv("REFUSE_MODULE_MEMORY"), args};
end

function yes = has_huge_dimension (value)
  yes = any (size (value) >= 2^31);
  if (! yes && iscell (value))
    yes = any (cellfun (@has_huge_dimension, value(:)));
  elseif (! yes && isstruct (value))
    yes = any (cellfun (@has_huge_dimension, struct2cell (value)(:)));
  end
end
