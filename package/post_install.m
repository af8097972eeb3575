function post_install(desc)
% Moves each function's help file beside its compiled module: the module
% reads its help from NAME.m in its own folder when Octave loads it, while
% pkg install puts modules and .m files in different folders.
  modules = [dir(fullfile(desc.archprefix, '*', '*.oct')); dir(fullfile(desc.archprefix, '*', '*.mex'))];
  for k = 1:numel(modules)
    [~, name] = fileparts(modules(k).name);
    help_file = fullfile(desc.dir, [name '.m']);
    if exist(help_file, 'file')
      [ok, message] = movefile(help_file, modules(k).folder);
      if ~ok
        error('linsvm_image: cannot move %s beside its module: %s', help_file, message);
      end
    end
  end
end
