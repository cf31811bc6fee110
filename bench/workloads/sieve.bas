' The sieve of Eratosthenes up to 300,000: one array element per number,
' each multiple of a prime crossed out; prints how many primes there are
' and the largest.
float    crossed[300001]
float    n,i,j,count,largest

n=300000
For i=2 to n
   if(crossed[i]=0)
      count=count+1
      largest=i
      if(i*i<=n)
         For j=i*i to n step i
            crossed[j]=1
         Next j
      endif
   endif
Next i
DspMes("primes up to ",n,": ",count,", the largest ",largest)
