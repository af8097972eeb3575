function text = ifelse_text (condition, if_true, if_false)
  % IF_TRUE when CONDITION holds, otherwise IF_FALSE.
  if (condition)
    text = if_true;
  else
    text = if_false;
  endif
endfunction
