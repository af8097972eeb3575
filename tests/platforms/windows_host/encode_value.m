% bytes = encode_value (value, mask_seconds): an Octave value as bytes, in the
% format that record_cases.m, replay_cases.m and the Windows host's C++
% encoder share, so that results compare byte for byte. Little-endian.
%
% Value V:
%   uint8 class: 0 double, 1 single, 2 int8, 3 uint8, 4 int16, 5 uint16,
%     6 int32, 7 uint32, 8 int64, 9 uint64, 10 logical, 11 char, 12 struct,
%     13 cell (any other value raises encode_value:unsupported)
%   uint8 flags: bit 0 complex, bit 1 sparse
%   uint32 number of dimensions (>= 2, as size gives them), uint64 each size
%   payload:
%     dense numeric, logical, char: the real components, column-major, in
%       their own type (logical one byte 0/1, char uint16 code units), then
%       the imaginary components when complex
%     sparse (double or logical, 2-D): uint64 nnz, columns+1 uint64 column
%       offsets, nnz uint64 zero-based row indices, nnz values (double or one
%       byte), then nnz imaginary components when complex
%     struct: uint32 field count, each name as uint32 length + bytes, then for
%       each element (column-major) V of each field, in fieldnames order
%     cell: V of each element, column-major
% With MASK_SECONDS, a struct field named "seconds" (a wall time, never the
% same twice) is encoded as V of [] whatever it holds: used for results only.
%
% Cases file: "MEXCASES", uint32 version 1, uint32 case count; per case:
%   label, function name (each uint32 length + bytes), int32 nargout,
%   refusal mode ("", "all" or "workers"; uint32 length + bytes), uint32
%   nargin, then V of each argument.
% Results file: "MEXRESLT", uint32 version 1, uint32 record count; per record:
%   uint32 zero-based case index, uint8 repeatable (1/0; a host that makes
%   each call once writes 1), then four sections, each uint64 length + bytes:
%   outcome  "ok", or "error IDENTIFIER\nMESSAGE" (err.message as Octave has it)
%   printed  what the call printed (evalc's capture, warnings without backtrace)
%   warning  the identifier of the last warning ("" when none)
%   outputs  uint32 count, then V of each output (seconds masked); an error
%            has none; nargout 0 has one when the module set ans
% A case with a refusal mode is made with its module loaded anew, as the
% test of refused memory makes it (replay_cases.m).
function bytes = encode_value (value, mask_seconds)
  class_names = {"double", "single", "int8", "uint8", "int16", "uint16", "int32", "uint32", ...
                 "int64", "uint64", "logical", "char", "struct", "cell"};
  pieces = {};
  put_value (value, nargin > 1 && mask_seconds);
  bytes = [pieces{:}];

  % Nested, so that the pieces gather in one list instead of being joined
  % at every level of a struct or cell.
  function put_value (value, mask_seconds)
    code = find (strcmp (class (value), class_names)) - 1;
    if (isempty (code) || isobject (value) || (issparse (value) && ndims (value) != 2))
      error ("encode_value:unsupported", "encode_value: no encoding for a %s value", class (value));
    end
    dims = size (value);
    pieces{end + 1} = [uint8([code, iscomplex(value) + 2 * issparse(value)]), ...
                      typecast(uint32(numel (dims)), "uint8"), typecast(uint64(dims), "uint8")];
    if (isstruct (value))
      names = fieldnames (value);
      pieces{end + 1} = typecast (uint32 (numel (names)), "uint8");
      for k = 1:numel (names)
        pieces{end + 1} = [typecast(uint32(numel (names{k})), "uint8"), uint8(names{k})];
      end
      for e = 1:numel (value)
        for k = 1:numel (names)
          if (mask_seconds && strcmp (names{k}, "seconds"))
            put_value ([], false);
          else
            put_value (value(e).(names{k}), mask_seconds);
          end
        end
      end
    elseif (iscell (value))
      for e = 1:numel (value)
        put_value (value{e}, mask_seconds);
      end
    elseif (issparse (value))
      [rows_of, cols_of, stored] = find (value);
      offsets = [0, cumsum(accumarray(cols_of(:), 1, [columns(value), 1]))'];
      pieces{end + 1} = [typecast(uint64(numel (stored)), "uint8"), typecast(uint64(offsets), "uint8"), ...
                        typecast(uint64(rows_of(:)' - 1), "uint8")];
      put_elements (stored, iscomplex (value));
    else
      put_elements (value, iscomplex (value));
    end
  end

  % (real turns logical and char into double: only complex values are split.)
  function put_elements (data, complex_value)
    if (complex_value)
      pieces(end + 1:end + 2) = {element_bytes(real (data)), element_bytes(imag (data))};
    else
      pieces{end + 1} = element_bytes (data);
    end
  end
end

% The elements of a real array, column-major, as bytes of their own type.
function bytes = element_bytes (data)
  if (islogical (data))
    bytes = uint8 (data(:)');
  elseif (ischar (data))
    bytes = typecast (uint16 (double (data(:)')), "uint8");
  else
    bytes = typecast (full (data(:)'), "uint8");
  end
end
