# The zip of the Windows build (CPack): to be written.
