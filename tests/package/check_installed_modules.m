function [failed, total] = check_installed_modules (folder, names)
  % Checks that each named module is taken from FOLDER (a path below it),
  % computes known results, raises its documented error and has its help.
  % Prints one line per check; returns the numbers of failed and of all checks.
  checks = {};
  for k = 1:numel (names)
    name = names{k};
    checks(end+1, :) = {sprintf("%s is the module from the folder under test", name), ...
                        @() module_is_below (name, folder)};
    checks(end+1, :) = {sprintf("help %s shows its help file", name), ...
                        @() help_names_itself (name)};
  endfor
  if (any (strcmp (names, "linsvm_fit")))
    checks(end+1, :) = {"linsvm_fit: seed 1, 10 steps on 1..10 gives the known weights", ...
                        @() isequal (linsvm_fit (1:10, ones (1, 10), struct ("nbite", 10, "seed", 1)), ...
                                     [0.9863939238321435; 0.16439898730535726])};
    checks(end+1, :) = {"linsvm_fit: one step on X = 2 gives a vector of norm 1/sqrt(lambda)", ...
                        @() max (abs (linsvm_fit (2, 1, struct ("lambda", 0.01, "nbite", 1, "seed", 5)) ...
                                          - [8.94427190999916; 4.47213595499958])) < 1e-13};
    checks(end+1, :) = {"linsvm_fit: labels of the wrong length raise linsvm_fit:invalidY", ...
                        @() raises (@() linsvm_fit (ones (2, 3), [1 -1]), "linsvm_fit:invalidY")};
  endif
  if (any (strcmp (names, "scale_bilinear")))
    checks(end+1, :) = {"scale_bilinear: 2 x 2 to 3 x 3 gives the known truncated values", ...
                        @() isequal (scale_bilinear (uint8 ([0 50; 100 150]), [3 3]), ...
                                     uint8 ([0 24 49; 49 74 99; 99 124 149]))};
    checks(end+1, :) = {"scale_bilinear: a single image and a scale factor give single of the double result", ...
                        @() isequal (scale_bilinear (single ([0 0.5; 1 1.5]), 1.5), ...
                                     single (scale_bilinear ([0 0.5; 1 1.5], [3 3])))};
    checks(end+1, :) = {"scale_bilinear: an int8 image raises an error listing the accepted classes", ...
                        @() raises (@() scale_bilinear (int8 ([0 50; 100 150]), [3 3]), "", ...
                                    "X must be (Ny x Nx) in UINT8, UINT16, INT16, SINGLE or DOUBLE format")};
  endif
  if (any (strcmp (names, "resize_image")))
    checks(end+1, :) = {"resize_image: 2 x 2 doubled by bilinear gives the known rounded values", ...
                        @() isequal (resize_image (uint8 ([10 20; 30 40]), 2, "bilinear"), ...
                                     uint8 ([10 13 18 20; 15 18 23 25; 25 28 33 35; 30 33 38 40]))};
    checks(end+1, :) = {"resize_image: an unknown method raises resize_image:invalidMethod naming it", ...
                        @() raises (@() resize_image (uint8 ([10 20; 30 40]), 2, "cubics"), ...
                                    "resize_image:invalidMethod", "unknown method 'cubics'")};
  endif
  if (any (strcmp (names, "luma_u8")))
    checks(end+1, :) = {"luma_u8: red, green, blue, (10,20,30) and white give 76, 149, 29, 18, 255", ...
                        @() isequal (luma_u8 (uint8 (cat (3, [255 0 0 10 255], [0 255 0 20 255], [0 0 255 30 255]))), ...
                                     uint8 ([76 149 29 18 255]))};
    checks(end+1, :) = {"luma_u8: a 4 x 5 x 4 image raises an error naming the shape", ...
                        @() raises (@() luma_u8 (zeros (4, 5, 4, "uint8")), "", "rgb must be (Ny x Nx x 3) in UINT8 format")};
  endif

  failed = 0;
  total = rows (checks);
  for k = 1:rows (checks)
    try
      ok = checks{k, 2} ();
      detail = "";
    catch err
      ok = false;
      detail = [" (" err.message ")"];
    end_try_catch
    if (ok)
      printf ("  ok    %s\n", checks{k, 1});
    else
      printf ("  FAIL  %s%s\n", checks{k, 1}, detail);
      failed += 1;
    endif
  endfor
endfunction

function ok = module_is_below (name, folder)
  file = which (name);
  ok = ! isempty (regexp (file, '\.oct$', "once")) ...
       && strncmp (canonicalize_file_name (file), canonicalize_file_name (folder), numel (canonicalize_file_name (folder)));
endfunction

function ok = help_names_itself (name)
  text = help (name);
  ok = ! isempty (strfind (text, upper (name))) && ! isempty (strfind (text, [name "("]));
endfunction

function ok = raises (call, identifier, text)
  ok = false;
  try
    call ();
  catch err
    ok = (isempty (identifier) || strcmp (err.identifier, identifier)) ...
         && (nargin < 3 || ! isempty (strfind (err.message, text)));
  end_try_catch
endfunction
