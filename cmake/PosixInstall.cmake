# Install rules for the POSIX build.
