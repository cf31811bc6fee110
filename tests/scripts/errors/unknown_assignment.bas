string s
s=5
