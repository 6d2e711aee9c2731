module com.example.hello {
}
