% The agreement table of doc/resize_image.md: resize_image against Pillow and OpenCV on
% make bench's 1920x1080 images (gray, and the three planes of the colour
% one), for every method and factor: the largest difference in levels and
% the share of pixels that differ, over the whole image and inside it (a
% margin of 4 output pixels, where edge rules do not reach).
%
% Usage: octave-cli peer_agreement.m MODULE_DIR BENCH_DIR
%   BENCH_DIR holds gray.raw and rgb.raw as bench_resize --write wrote them.
1;
args = argv ();
addpath (args{1});
addpath (fullfile (fileparts (mfilename ("fullpath")), "..", "tests", "image", "resize"));  % peer_resize

function X = read_image (file, planes)
  fid = fopen (file, "r");
  data = uint8 (fread (fid, Inf, "uint8"));
  fclose (fid);
  X = permute (reshape (data, planes, 1920, 1080), [3 2 1]);
endfunction

function text = agreement (ours, theirs)
  if (isempty (theirs))
    text = "not installed | ";
    return;
  end
  d = abs (double (ours) - double (theirs));
  inner = d(5:end - 4, 5:end - 4, :);
  text = sprintf ("%d (%.1f%%) | %d (%.1f%%)", max (d(:)), 100 * mean (d(:) > 0), max (inner(:)), ...
                  100 * mean (inner(:) > 0));
endfunction

function text = ifelse_text (condition, yes, no)
  if (condition)
    text = yes;
  else
    text = no;
  end
endfunction

gray = read_image (fullfile (args{2}, "gray.raw"), 1);
colour = read_image (fullfile (args{2}, "rgb.raw"), 3);
images = {"gray", gray; "colour", colour};
% Each row: our method and antialiasing, Pillow's filter (or ""), OpenCV's (or "").
rows_ = {"bilinear", true, "bilinear", ""; "bilinear", false, "", "linear"; "bicubic", true, "bicubic", "";
         "bicubic", false, "", "cubic"; "lanczos3", true, "lanczos3", ""; "box", true, "box", "area";
         "nearest", true, "nearest", "nearest_exact"};
printf ("| Image | Method | Factor | Pillow: largest (share) | inside | OpenCV | largest (share) | inside |\n");
printf ("|---|---|---|---|---|---|---|---|\n");
for i = 1:rows (images)
  X = images{i, 2};
  for r = 1:rows (rows_)
    for factor = [0.5 0.8 1.25 2]
      if (! rows_{r, 2} && factor > 1)
        continue;  % antialiasing acts only when shrinking
      end
      ny = ceil (1080 * factor);
      nx = ceil (1920 * factor);
      ours = resize_image (X, factor, rows_{r, 1}, "Antialiasing", rows_{r, 2});
      % Enlarging, ours is the same with and without antialiasing: OpenCV's
      % filters are compared there too.
      opencv = rows_{r, 4};
      if (isempty (opencv) && factor > 1)
        opencv = struct ("bilinear", "linear", "bicubic", "cubic", "lanczos3", "lanczos4").(rows_{r, 1});
      end
      jobs = cell (0, 4);
      if (! isempty (rows_{r, 3}))
        jobs(end + 1, :) = {"pillow", rows_{r, 3}, ny, nx};
      end
      if (! isempty (opencv))
        jobs(end + 1, :) = {"opencv", opencv, ny, nx};
      end
      peers = cell (rows (jobs), 1);
      for p = 1:size (X, 3)
        R = peer_resize (X(:, :, p), jobs);
        for k = 1:rows (jobs)
          peers{k} = cat (3, peers{k}, R{k});
        end
      end
      pillow_text = "- | -";
      opencv_text = "- | - | -";
      for k = 1:rows (jobs)
        if (strcmp (jobs{k, 1}, "pillow"))
          pillow_text = agreement (ours, peers{k});
        else
          opencv_text = [jobs{k, 2} " | " agreement(ours, peers{k})];
        end
      end
      printf ("| %s | %s%s | %.2f | %s | %s |\n", images{i, 1}, rows_{r, 1}, ...
              ifelse_text (rows_{r, 2}, "", ", no antialiasing"), factor, pillow_text, opencv_text);
    end
  end
end

