// The source file of the targets that compile the precompiled headers.
