% Installs the package tarball with pkg install into PREFIX (package lists
% of its own there, so nothing else is read or changed), loads it, checks
% that all three modules come from it, and writes the folder that holds the
% modules to FOLDER_FILE, for the tests that take a module folder.
% Usage: octave-cli install_package.m TARBALL PREFIX FOLDER_FILE
1;
args = argv ();
[tarball, prefix, folder_file] = deal (args{1:3});
mkdir (prefix);
pkg ("local_list", fullfile (prefix, "octave_packages"));
pkg ("global_list", fullfile (prefix, "octave_packages_global"));
pkg ("prefix", prefix, prefix);
started = tic ();
pkg ("install", "-local", tarball);
printf ("install_package: pkg install took %.1f s\n", toc (started));
pkg ("load", "linsvm_image");
folders = cellfun (@(name) fileparts (which (name)), {"linsvm_fit", "scale_bilinear", "luma_u8"}, "UniformOutput", false);
if (! all (strcmp (folders, folders{1})) || ! strncmp (folders{1}, prefix, numel (prefix)))
  printf ("install_package: the modules are not all from the installed package: %s\n", strjoin (folders, ", "));
  exit (1);
endif
modules = dir (fullfile (folders{1}, "*.oct"));
printf ("install_package: %s holds %s\n", folders{1}, strjoin (sort ({modules.name}), ", "));
fid = fopen (folder_file, "w");
fprintf (fid, "%s\n", folders{1});
fclose (fid);
