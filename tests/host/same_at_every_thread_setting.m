% same_at_every_thread_setting (call): CALL must return the same result
% whatever MEX_KERNELS_THREADS says (1, 2, 3, 0, -3, text, empty or unset),
% equal to its result on one thread. The variable is restored afterwards.
function same_at_every_thread_setting (call)
  old = getenv ("MEX_KERNELS_THREADS");
  unwind_protect
    setenv ("MEX_KERNELS_THREADS", "1");
    expected = call ();
    unsetenv ("MEX_KERNELS_THREADS");
    assert (call (), expected);
    for setting = {"2", "3", "0", "-3", "text", ""}
      setenv ("MEX_KERNELS_THREADS", setting{1});
      assert (isequal (call (), expected), sprintf ("MEX_KERNELS_THREADS=%s gives other bytes", setting{1}));
    endfor
  unwind_protect_cleanup
    if (isempty (old))
      unsetenv ("MEX_KERNELS_THREADS");
    else
      setenv ("MEX_KERNELS_THREADS", old);
    endif
  end_unwind_protect
end
