# The Windows DLL.
