% Every allocation of the modules' own code refused (run with the preloaded
% refusing_allocator and REFUSE_MODULE_MEMORY set here): each module raises
% its out-of-memory error instead of ending Octave, and works normally once
% memory is to be had again. (Where the refusal comes first differs between
% the kinds of module: an oct-file's code also makes Octave's arrays.)

%!function expect_out_of_memory (call, id)
%!  try
%!    call ();
%!    error ("refused_memory:allocated", "no error raised");
%!  catch err
%!    assert (err.identifier, id);
%!    assert (! isempty (strfind (err.message, "out of memory")), err.message);
%!  end_try_catch
%!endfunction

%!test
%! clear scale_bilinear luma_u8 linsvm_fit resize_image
%! setenv ("REFUSE_MODULE_MEMORY", "all");
%! unwind_protect
%!   expect_out_of_memory (@() scale_bilinear (uint8 (magic (8)), [20 20]), "scale_bilinear:outOfMemory");
%!   expect_out_of_memory (@() resize_image (uint8 (magic (8)), [20 20]), "resize_image:outOfMemory");
%!   % The MEX modules' luma_u8 and linsvm_fit allocate only when they choose
%!   % their variants, at the first call.
%!   expect_out_of_memory (@() luma_u8 (uint8 (ones (4, 4, 3))), "luma_u8:outOfMemory");
%!   expect_out_of_memory (@() linsvm_fit (1:10, ones (1, 10)), "linsvm_fit:outOfMemory");
%! unwind_protect_cleanup
%!   unsetenv ("REFUSE_MODULE_MEMORY");
%! end_unwind_protect
%! assert (scale_bilinear (uint8 ([0 50; 100 150]), [3 3]), uint8 ([0 24 49; 49 74 99; 99 124 149]));
%! assert (luma_u8 (uint8 (cat (3, [255 0; 10 255], [0 255; 20 255], [0 0; 30 255]))), uint8 ([76 149; 18 255]));
%! assert (resize_image (uint8 ([10 20; 30 40]), 2, "bilinear"), uint8 ([10 13 18 20; 15 18 23 25; 25 28 33 35; 30 33 38 40]));
%! assert (linsvm_fit (1:10, ones (1, 10), "nbite", 10, "seed", 1), [0.9863939238321435; 0.16439898730535726], 0);
