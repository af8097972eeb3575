% Builds the Octave package tarball from the working tree, installs it into a
% temporary prefix with package lists of its own (the user's installed
% packages are neither read nor changed), loads it, calls every function,
% reads its help, runs its own tests (pkg test, test NAME), then uninstalls it
% and checks that nothing is left.
% Usage: octave-cli package_install_test.m REPOSITORY_ROOT [NAME ...]
1;

function text = fileread_or_empty (file)
  text = "";
  if (exist (file, "file"))
    text = fileread (file);
  endif
endfunction

args = argv ();
root = args{1};
names = args(2:end);
if (isempty (names))
  names = {"linsvm_fit", "scale_bilinear", "luma_u8", "resize_image"};
endif
addpath (fileparts (mfilename ("fullpath")));

work = tempname ();
mkdir (work);
confirm_recursive_rmdir (false);
cleanup = onCleanup (@() rmdir (work, "s"));

[status, output] = system (sprintf ("'%s/package/make_package.sh' '%s'", root, work));
if (status != 0)
  printf ("make_package.sh failed:\n%s", output);
  exit (1);
endif
tarball = strtrim (output);
printf ("package: %s\n", tarball);

prefix = fullfile (work, "prefix");
pkg ("local_list", fullfile (work, "octave_packages"));
pkg ("global_list", fullfile (work, "octave_packages_global"));
pkg ("prefix", prefix, prefix);
pkg ("install", "-local", tarball);

installed = pkg ("list");
failed = 0;
total = 1;
if (numel (installed) != 1 || ! strcmp (installed{1}.name, "linsvm_image"))
  printf ("  FAIL  pkg list shows exactly the package linsvm_image\n");
  failed += 1;
else
  printf ("  ok    pkg list shows linsvm_image %s\n", installed{1}.version);
endif

% The licence and the news travel with the package.
if (numel (installed) == 1)
  info = fullfile (installed{1}.dir, "packinfo");
  copying = fileread_or_empty (fullfile (info, "COPYING"));
  news_text = fileread_or_empty (fullfile (info, "NEWS"));
  description = fileread_or_empty (fullfile (info, "DESCRIPTION"));
  is_bsd = ! isempty (strfind (copying, "BSD 2-Clause License")) ...
           && ! isempty (strfind (copying, "Copyright (c) 2026, the linsvm_image authors"));
  names_licence = ! isempty (regexp (description, "License: BSD-2-Clause", "once"));
  lists_news = ! isempty (strfind (news_text, ["linsvm_image " installed{1}.version ":"]));
  shows_news = ! isempty (strfind (evalc ("news ('linsvm_image')"), "name/value options"));
  checks = {
    "COPYING is the BSD 2-Clause licence", is_bsd
    "DESCRIPTION names the licence", names_licence
    "NEWS lists this version's changes", lists_news
    "news () shows them", shows_news
  };
  failed += report_checks (checks);
  total += rows (checks);
endif

pkg ("load", "linsvm_image");
[module_failed, module_total] = check_installed_modules (prefix, names);
failed += module_failed;
total += module_total;
% The self-tests of linsvm_fit's function in Octave's language too.
self_tested = names;
if (any (strcmp (names, "linsvm_fit")))
  self_tested(end + 1) = "linsvm_predict";
endif
[self_failed, self_total] = check_package_self_tests ("linsvm_image", self_tested);
failed += self_failed;
total += self_total;

pkg ("unload", "linsvm_image");
pkg ("uninstall", "-local", "linsvm_image");
leftovers = [glob(fullfile (prefix, "*")); glob(fullfile (prefix, "*", "*"))];
remaining = pkg ("list");
gone = cellfun (@(name) exist (name) == 0, names);
% (no spaces before parentheses inside the cell literal: they would split elements)
checks = {
  "pkg list is empty after uninstall", isempty(remaining)
  "no module is found after uninstall", all(gone)
  "uninstall leaves no installed files", isempty(leftovers)
};
failed += report_checks (checks);
total += rows (checks);

printf ("%d passed, %d failed\n", total - failed, failed);
exit (double (failed > 0));
