function rgb = load_rgb (file)
  % Reads an image file as an Ny x Nx x 3 uint8 RGB array: indexed images
  % through their colour map, gray images copied to three planes, 16-bit,
  % logical and floating-point images scaled to 0..255.
  [pixels, map] = imread (file);
  if (! isempty (map))
    pixels = uint8 (round (255 * ind2rgb (pixels, map)));
  elseif (isa (pixels, "uint16"))
    pixels = uint8 (round (double (pixels) / 257));
  elseif (islogical (pixels))
    pixels = uint8 (pixels) * 255;
  elseif (isfloat (pixels))
    pixels = uint8 (round (255 * min (max (pixels, 0), 1)));
  elseif (! isa (pixels, "uint8"))
    error ("demo:imageClass", "%s: pixels of class %s are not supported", file, class (pixels));
  endif
  switch (size (pixels, 3))
    case 1
      rgb = repmat (pixels, [1, 1, 3]);
    case 3
      rgb = pixels;
    otherwise
      error ("demo:imagePlanes", "%s has %d colour planes; RGB or gray was expected", file, size (pixels, 3));
  endswitch
endfunction
