// Builds the precompiled header every test program reuses (see lw_test); no tests of its own.
