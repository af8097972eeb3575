% R = peer_resize (X, jobs): the peers' results for the uint8 plane X, one
% per row of jobs ({peer, filter, ny, nx}), through peer_resize.py; R{k} is
% empty where that peer is not installed. missing names those peers.
function [R, missing] = peer_resize (X, jobs)
  folder = tempname ();
  mkdir (folder);
  unwind_protect
    input = fullfile (folder, "in.raw");
    fid = fopen (input, "w");
    fwrite (fid, X', "uint8");
    fclose (fid);
    list = fullfile (folder, "jobs.txt");
    fid = fopen (list, "w");
    for k = 1:rows (jobs)
      fprintf (fid, "%s %s %d %d\n", jobs{k, :});
    end
    fclose (fid);
    python = "/usr/bin/python3";
    if (! isfile (python))
      python = "python3";
    end
    script = fullfile (fileparts (mfilename ("fullpath")), "peer_resize.py");
    try
      [status, missing] = system (sprintf ("%s %s %s %d %d %s %s", python, script, input, rows (X), columns (X), ...
                                           list, folder));
    catch err
      % Octave raises an error when it cannot start the process at all.
      status = -1;
      missing = err.message;
    end
    if (status != 0 && isempty (strfind (missing, "Traceback")))
      % No Python to be had (a session refused new processes, say).
      R = cell (rows (jobs), 1);
      missing = sprintf ("pillow opencv (%s could not be started: %s)", python, strtrim (missing));
      return;
    elseif (status != 0)
      error ("peer_resize: %s failed: %s", script, missing);
    end
    missing = strtrim (missing);
    R = cell (rows (jobs), 1);
    for k = 1:rows (jobs)
      file = fullfile (folder, sprintf ("%s_%s_%d_%d.raw", jobs{k, :}));
      if (isfile (file))
        fid = fopen (file, "r");
        R{k} = reshape (uint8 (fread (fid, Inf, "uint8")), jobs{k, 4}, jobs{k, 3})';
        fclose (fid);
      end
    end
  unwind_protect_cleanup
    confirm_recursive_rmdir (false, "local");
    rmdir (folder, "s");
  end_unwind_protect
endfunction
