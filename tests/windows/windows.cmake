# Windows only: the COM clients under Wine. To be written.
