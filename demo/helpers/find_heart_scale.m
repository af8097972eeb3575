function file = find_heart_scale (workdir)
  % Path of the heart_scale sample that Debian's liblinear-tools ships in
  % its examples folder; a gzipped copy is unpacked into WORKDIR.
  candidates = {"/usr/share/doc/liblinear-tools/examples/heart_scale", ...
                "/usr/share/doc/liblinear-tools/examples/heart_scale.gz"};
  [status, listing] = system ("dpkg -L liblinear-tools 2>/dev/null");
  if (status == 0)
    listed = regexp (listing, '[^\n]*/heart_scale(\.gz)?(?=\n|$)', "match");
    candidates = [listed, candidates];
  endif
  for k = 1:numel (candidates)
    file = candidates{k};
    if (exist (file, "file") != 2)
      continue;
    endif
    if (numel (file) > 3 && strcmp (file(end-2:end), ".gz"))
      unpacked = gunzip (file, workdir);
      file = unpacked{1};
    endif
    return;
  endfor
  error ("demo:noHeartScale", ...
         "heart_scale not found: it comes with Debian's liblinear-tools (apt-get install liblinear-tools; make demo does this)");
endfunction
