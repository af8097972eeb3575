% expect_error (call, id, text): CALL must raise an error with identifier ID
% whose message ends with TEXT. Octave puts the function name in front of a
% module's message and drops a final newline, so a TEXT ending in a newline
% matches a message without it; nothing may follow the text.
function expect_error (call, id, text)
  raised = false;
  try
    call ();
  catch err
    raised = true;
    assert (err.identifier, id);
    text = regexprep (text, "\n$", "");
    % (endsWith is not in Octave 6.)
    ends_with_text = numel (err.message) >= numel (text) ...
                     && strcmp (err.message(end-numel (text)+1:end), text);
    assert (ends_with_text, sprintf ("unexpected message '%s'", err.message));
  end_try_catch
  assert (raised, "no error raised");
end
